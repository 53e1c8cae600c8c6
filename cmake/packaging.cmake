# Packages for users: a .deb and an .rpm of the native or ARM build, laid out as Debian policy
# and Fedora's guidelines ask (program, manual page, documentation and licence), a .zip of the
# Windows build holding sortdemo.exe, README.txt and LICENSE.txt, and a tarball of the static
# build with one folder holding the program, its manual page, the README and the licence. Each
# carries the users' README, made from doc/user_readme.md.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME sortdemo)
set(CPACK_PACKAGE_VENDOR "${SORTDEMO_VENDOR}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Debian's extended description: lines under 80 columns, "." for an empty line.
set(CPACK_PACKAGE_DESCRIPTION
"sortdemo asks how many integers to sort, reads them from standard input,
sorts one copy with its own bubble sort and one with the C++ standard
library's std::sort, and writes both results. Anything but whole decimal
numbers in the 32-bit range ends the run with a one-line error message.
The numbers come from standard input alone: the only options are --help
and --version, and any other argument is an error.
.
The bubble sort makes all of its n(n-1)/2 compare-exchanges, running many
passes at once in vector registers: SSE4.1, AVX2 or AVX-512 on x86-64, as
the processor has them, and NEON on 64-bit ARM.")
# No domain of the project's own yet: an address at a domain reserved for documentation.
set(CPACK_PACKAGE_CONTACT "The sortdemo developers <sortdemo@example.org>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

# The .zip and the tarball hold one folder; the .deb and the .rpm lay out /usr. The .zip's text
# files have names and line ends that Windows opens.
if(WIN32)
    set(bindir .)
    configure_file(doc/user_readme.md user/README.txt @ONLY NEWLINE_STYLE CRLF)
    configure_file(LICENSE user/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${PROJECT_BINARY_DIR}/user/README.txt ${PROJECT_BINARY_DIR}/user/LICENSE.txt
            DESTINATION .)
elseif(SORTDEMO_STATIC)
    set(bindir .)
    install(FILES ${PROJECT_BINARY_DIR}/user/README.md LICENSE DESTINATION .)
else()
    set(bindir ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS sortdemo RUNTIME DESTINATION ${bindir} COMPONENT program)
if(NOT WIN32)
    # A stripped install (cpack, cmake --install --strip) also drops the compiler's notes, as
    # Debian's own packages do.
    install(CODE "if(CMAKE_INSTALL_DO_STRIP)
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${bindir}/sortdemo\")
    endif()" COMPONENT program)
endif()

if(WIN32)
    set(CPACK_GENERATOR ZIP)
elseif(SORTDEMO_STATIC)
    # sortdemo-VERSION-linux-ARCH.tar.gz, its folder of the same name; the manual page as it is,
    # for man -l.
    set(CPACK_GENERATOR TGZ)
    set(CPACK_PACKAGE_FILE_NAME
        ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
    install(FILES doc/sortdemo.1 DESTINATION .)
else()
    set(CPACK_GENERATOR DEB RPM)
    set(cpack_time "")
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    # Upstream and Debian packaging are one: a native package, version without a revision.
    set(CPACK_DEBIAN_PACKAGE_VERSION ${PROJECT_VERSION})
    # Versioned dependencies from the libraries and symbol versions the binary uses.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # A cross build is packaged for the machine it is built for, not this one. dpkg-shlibdeps then
    # reads the dependencies from that architecture's own runtime packages, installed beside this
    # machine's (libc6:arm64 and so on): the cross toolchain's copies of the libraries belong to
    # packages that no ARM machine has.
    if(CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
        set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
        string(APPEND cpack_time "set(ENV{DEB_HOST_ARCH} ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})\n")
        if(NOT EXISTS /usr/lib/aarch64-linux-gnu/libstdc++.so.6)
            message(WARNING "The .deb of this build needs Debian's arm64 runtime libraries: "
                    "dpkg --add-architecture arm64 && apt-get update && "
                    "apt-get install libc6:arm64 libstdc++6:arm64 libgcc-s1:arm64")
        endif()
    endif()
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
    set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
        OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    # Reviewed lintian findings, with the reason beside each: for the .deb alone, not for an
    # install from source.
    install(FILES ${PROJECT_SOURCE_DIR}/doc/lintian-overrides
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME sortdemo
            COMPONENT lintian EXCLUDE_FROM_ALL)
    string(APPEND cpack_time "if(CPACK_GENERATOR STREQUAL \"DEB\")
    set(CPACK_INSTALL_CMAKE_PROJECTS
        \"${PROJECT_BINARY_DIR};${PROJECT_NAME};ALL;/;${PROJECT_BINARY_DIR};${PROJECT_NAME};lintian;/\")
endif()\n")
    include(cmake/rpm.cmake)
    # What differs from one generator to the other, read by cpack as it starts each.
    file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/cpack_project_config.cmake CONTENT "${cpack_time}")
    set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/cpack_project_config.cmake)
endif()
include(CPack)
