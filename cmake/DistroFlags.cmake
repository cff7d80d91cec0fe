# SPDX-License-Identifier: GPL-3.0-or-later
# The distribution's hardening flags (dpkg-buildflags, every hardening feature on:
# FORTIFY, stack protector, format checks, RELRO and BIND_NOW) for optimised
# builds, so the programs that go into the .deb are built as Debian builds its
# own. Optimisation and debug information stay the build type's. Sanitizer and
# fuzz builds keep their own flags (FORTIFY and ASan do not mix).
option(ZINDLE_DISTRO_FLAGS "Add the hardening flags of dpkg-buildflags to optimised builds" ON)
find_program(ZINDLE_DPKG_BUILDFLAGS dpkg-buildflags)
if(ZINDLE_DISTRO_FLAGS AND ZINDLE_DPKG_BUILDFLAGS AND NOT ZINDLE_SANITIZE AND NOT ZINDLE_FUZZ
   AND CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${ZINDLE_DPKG_BUILDFLAGS} --get ${kind}
                    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
    separate_arguments(flags UNIX_COMMAND "${flags}")
    # -g, -O2 and the source-path map are the build type's business.
    list(FILTER flags EXCLUDE REGEX "^(-g|-O[0-9s]?|-ffile-prefix-map=.*)$")
    if(kind STREQUAL "LDFLAGS")
      add_link_options(${flags})
    else()
      add_compile_options(${flags})
    endif()
  endforeach()
endif()
