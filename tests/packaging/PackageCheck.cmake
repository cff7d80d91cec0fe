# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the three .deb packages with `cpack -G DEB` and checks them as Debian
# would: the files each one holds, the dependencies dpkg-shlibdeps found (the
# server package without Qt Widgets or Gui), the settings kept as the admin's,
# maintainer scripts that do what dh_installsystemd does, compressed manual pages
# and changelogs without names or time stamps, lintian without errors or
# warnings, and the unit's exposure in `systemd-analyze security` at most 2.0.
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
set(packages zindlechat-server zindlechat-server-gui zindlechat-client)
foreach(package IN LISTS packages)
  file(GLOB deb_${package} "${OUT}/${package}_*.deb")
  list(LENGTH deb_${package} count)
  if(NOT rc EQUAL 0 OR NOT count EQUAL 1)
    message(FATAL_ERROR "cpack -G DEB failed for ${package} (${rc}, ${count} packages):\n${out}\n${err}")
  endif()
endforeach()

function(deb_query result)
  execute_process(COMMAND dpkg-deb ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb ${ARGN} failed (${rc}): ${err}")
  endif()
  set(${result} "${out}" PARENT_SCOPE)
endfunction()

# Every line of `dpkg-deb -c`: mode, owner, size, date, time, path.
function(expect_entry package path mode_pattern)
  deb_query(listing -c ${deb_${package}})
  string(REGEX MATCH "(^|\n)(${mode_pattern}) [^\n]* \\./${path}(\n|$)" hit "${listing}")
  if(NOT hit)
    message(FATAL_ERROR "${package} lacks ${path} (mode ${mode_pattern}):\n${listing}")
  endif()
endfunction()
expect_entry(zindlechat-server usr/bin/zindlechatd "-rwxr-xr-x")
expect_entry(zindlechat-server usr/bin/zindlechatctl "-rwxr-xr-x")
expect_entry(zindlechat-server-gui usr/bin/ZindleChatServer "-rwxr-xr-x")
expect_entry(zindlechat-client usr/bin/ZindleChatClient "-rwxr-xr-x")
foreach(entry
    zindlechat-server:usr/${UNIT_DIR}/zindlechat-server.service
    zindlechat-server:usr/share/man/man8/zindlechatd.8.gz
    zindlechat-server:usr/share/man/man1/zindlechatctl.1.gz
    zindlechat-server:usr/share/doc/zindlechat-server/README.md
    zindlechat-server:etc/zindlechat-server/zindlechat-server.conf
    zindlechat-server-gui:usr/share/man/man1/ZindleChatServer.1.gz
    zindlechat-server-gui:usr/share/applications/zindlechat-server.desktop
    zindlechat-server-gui:usr/share/icons/hicolor/48x48/apps/zindlechat-server.png
    zindlechat-client:usr/share/man/man1/ZindleChatClient.1.gz
    zindlechat-client:usr/share/applications/zindlechat-client.desktop
    zindlechat-client:usr/share/icons/hicolor/scalable/apps/zindlechat.svg)
  string(REPLACE ":" ";" entry "${entry}")
  list(GET entry 0 package)
  list(GET entry 1 path)
  expect_entry(${package} ${path} "-rw-r--r--")
endforeach()
expect_entry(zindlechat-server etc/zindlechat-server/password "-rw-------")
foreach(package IN LISTS packages)
  expect_entry(${package} usr/share/doc/${package}/copyright "-rw-r--r--")
  expect_entry(${package} usr/share/doc/${package}/changelog.gz "-rw-r--r--")
  deb_query(ignored -x ${deb_${package}} "${OUT}/root")
endforeach()

# Compressed with -9n: no flags (no file name), no time stamp, the best compression.
file(GLOB_RECURSE gzipped "${OUT}/root/usr/share/*.gz")
foreach(gz IN LISTS gzipped)
  file(READ "${gz}" head LIMIT 10 HEX)
  if(NOT head MATCHES "^1f8b08000000000002")
    message(FATAL_ERROR "${gz} is not compressed with gzip -9n (header ${head})")
  endif()
endforeach()

# Dependencies come from dpkg-shlibdeps; the daemon's package pulls no graphics.
deb_query(depends -f ${deb_zindlechat-server} Depends)
foreach(library libqt6core6 libqt6network6 libc6 init-system-helpers)
  if(NOT depends MATCHES "(^|[ ,])${library}([ (,]|$)")
    message(FATAL_ERROR "zindlechat-server: Depends lacks ${library}: ${depends}")
  endif()
endforeach()
if(depends MATCHES "libqt6(widgets|gui|opengl)|libgl|libx11|libxcb")
  message(FATAL_ERROR "zindlechat-server pulls graphical libraries: ${depends}")
endif()
deb_query(depends -f ${deb_zindlechat-server-gui} Depends)
if(NOT depends MATCHES "libqt6widgets6")
  message(FATAL_ERROR "zindlechat-server-gui: Depends lacks libqt6widgets6: ${depends}")
endif()
deb_query(conffiles --info ${deb_zindlechat-server} conffiles)
if(NOT conffiles STREQUAL "/etc/zindlechat-server/password\n/etc/zindlechat-server/zindlechat-server.conf\n")
  message(FATAL_ERROR "conffiles: ${conffiles}")
endif()

# The maintainer scripts: enable and start on install, restart on upgrade, stop
# on remove, disable and remove the state on purge.
function(expect_script script)
  deb_query(text --info ${deb_zindlechat-server} ${script})
  foreach(part IN LISTS ARGN)
    string(FIND "${text}" "${part}" at)
    if(at EQUAL -1)
      message(FATAL_ERROR "${script} lacks \"${part}\":\n${text}")
    endif()
  endforeach()
endfunction()
expect_script(postinst "deb-systemd-helper enable zindlechat-server.service" "daemon-reload"
  "deb-systemd-invoke restart zindlechat-server.service" "deb-systemd-invoke start zindlechat-server.service")
expect_script(prerm "deb-systemd-invoke stop zindlechat-server.service")
expect_script(postrm "deb-systemd-helper purge zindlechat-server.service" "rm -rf /var/lib/private/zindlechat-server")

# The unit inside names the files where the package puts them.
file(READ "${OUT}/root/usr/${UNIT_DIR}/zindlechat-server.service" unit)
foreach(line "ExecStart=/usr/bin/zindlechatd --config /etc/zindlechat-server/zindlechat-server.conf "
             "LoadCredential=password:/etc/zindlechat-server/password\n"
             "Documentation=man:zindlechatd(8) man:zindlechatctl(1) file:///usr/share/doc/zindlechat-server/README.md\n")
  string(FIND "${unit}" "${line}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the packaged unit lacks: ${line}\n${unit}")
  endif()
endforeach()

set(skipped "")
# systemd-analyze security reads the unit offline; every directive must be one
# this systemd knows (an unknown one is reported and ignored).
find_program(SYSTEMD_ANALYZE systemd-analyze)
if(SYSTEMD_ANALYZE)
  execute_process(COMMAND ${SYSTEMD_ANALYZE} security --offline=yes --no-pager
                          "${OUT}/root/usr/${UNIT_DIR}/zindlechat-server.service"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REGEX MATCH "Overall exposure level for zindlechat-server.service: ([0-9]+\\.[0-9])" hit "${out}")
  if(NOT hit)
    message(FATAL_ERROR "systemd-analyze security gave no exposure (${rc}):\n${out}\n${err}")
  endif()
  set(exposure ${CMAKE_MATCH_1})
  if(exposure GREATER 2.0)
    message(FATAL_ERROR "the unit's exposure is ${exposure}, above 2.0:\n${out}")
  endif()
  if(err MATCHES "Unknown|ignoring|Failed to parse")
    message(FATAL_ERROR "systemd-analyze does not take the unit as written:\n${err}")
  endif()
  message("unit exposure: ${exposure}")
else()
  list(APPEND skipped "systemd-analyze security")
endif()

# lintian: no errors and no warnings; intended exceptions are commented overrides.
find_program(LINTIAN lintian)
if(LINTIAN)
  foreach(package IN LISTS packages)
    execute_process(COMMAND ${LINTIAN} --fail-on error,warning --tag-display-limit 0 ${deb_${package}}
      RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)[EW]: ")
      message(FATAL_ERROR "lintian ${package} (${rc}):\n${out}\n${err}")
    endif()
  endforeach()
else()
  list(APPEND skipped "lintian")
endif()

if(skipped)
  message("package check passed; could not run here: ${skipped}")
else()
  message("package check passed")
endif()
