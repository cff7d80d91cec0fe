# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the .deb with `cpack -G DEB` and checks it with dpkg-deb: the files a
# Debian user gets, the dependencies dpkg-shlibdeps found, the password file
# kept as the admin's, and a unit that names the installed daemon.
# Run as: cmake -DBUILD_DIR=... -DOUT=... -DPROGRAMS=a,b,c -DUNIT_DIR=lib/systemd/system -P PackageCheck.cmake
cmake_minimum_required(VERSION 3.25)

string(REPLACE "," ";" programs "${PROGRAMS}")
foreach(program IN LISTS programs)
  if(NOT EXISTS "${program}")
    message("ZINDLE_SKIP: ${program} is not built yet")
    return()
  endif()
endforeach()
foreach(tool dpkg-deb dpkg-shlibdeps)
  find_program(tool_path_${tool} ${tool})
  if(NOT tool_path_${tool})
    message("ZINDLE_SKIP: ${tool} is missing (Debian package dpkg-dev)")
    return()
  endif()
endforeach()

file(REMOVE_RECURSE "${OUT}")
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${OUT}"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(GLOB debs "${OUT}/*.deb")
list(LENGTH debs count)
if(NOT rc EQUAL 0 OR NOT count EQUAL 1)
  message(FATAL_ERROR "cpack -G DEB failed (${rc}, ${count} packages):\n${out}\n${err}")
endif()

function(deb_query result)
  execute_process(COMMAND dpkg-deb ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb ${ARGN} failed (${rc}): ${err}")
  endif()
  set(${result} "${out}" PARENT_SCOPE)
endfunction()

# Every line of `dpkg-deb -c`: mode, owner, size, date, time, path.
deb_query(listing -c ${debs})
function(expect_entry path mode_pattern)
  string(REGEX MATCH "(^|\n)(${mode_pattern}) [^\n]* \\./${path}(\n|$)" hit "${listing}")
  if(NOT hit)
    message(FATAL_ERROR "the package lacks ${path} (mode ${mode_pattern}):\n${listing}")
  endif()
endfunction()
foreach(program ZindleChatServer ZindleChatClient zindlechatd)
  expect_entry(usr/bin/${program} "-rwxr-xr-x")
endforeach()
foreach(path
    usr/share/applications/zindlechat-client.desktop
    usr/share/applications/zindlechat-server.desktop
    usr/share/metainfo/example.zindlechat.Client.metainfo.xml
    usr/share/metainfo/example.zindlechat.Server.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/zindlechat.svg
    usr/share/icons/hicolor/48x48/apps/zindlechat.png
    usr/share/man/man1/ZindleChatServer.1
    usr/share/man/man1/ZindleChatClient.1
    usr/share/man/man8/zindlechatd.8
    usr/${UNIT_DIR}/zindlechat-server.service
    usr/share/doc/zindlechat/README.md
    usr/share/doc/zindlechat/LICENSE
    usr/share/doc/zindlechat/zindlechat-server.default)
  expect_entry(${path} "-rw-r--r--")
endforeach()
expect_entry(etc/zindlechat-server/password "-rw-------")

# Dependencies come from dpkg-shlibdeps, not from a hand-kept list.
deb_query(depends -f ${debs} Depends)
foreach(library libqt6core6 libqt6network6 libqt6widgets6 libc6)
  if(NOT depends MATCHES "(^|[ ,])${library}([ (,]|$)")
    message(FATAL_ERROR "Depends lacks ${library}: ${depends}")
  endif()
endforeach()
deb_query(conffiles --info ${debs} conffiles)
if(NOT conffiles STREQUAL "/etc/zindlechat-server/password\n")
  message(FATAL_ERROR "conffiles: ${conffiles}")
endif()

# The unit inside names the files where the package puts them.
deb_query(ignored -x ${debs} "${OUT}/root")
file(READ "${OUT}/root/usr/${UNIT_DIR}/zindlechat-server.service" unit)
foreach(line "ExecStart=/usr/bin/zindlechatd --password-file %d/password "
             "LoadCredential=password:/etc/zindlechat-server/password\n"
             "Documentation=man:zindlechatd(8) file:///usr/share/doc/zindlechat/README.md\n")
  string(FIND "${unit}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the packaged unit lacks: ${line}\n${unit}")
  endif()
endforeach()
message("package check passed: ${debs}")
