# The .rpm, for Fedora, openSUSE and the other RPM distributions, made by CPack with rpmbuild
# (Debian's rpm package): the program and manual page of the .deb, the README and the licence
# uncompressed where Fedora keeps them, and the dependencies rpm's own generator reads from the
# program's ELF headers (sonames with symbol versions), so a cross-built program gets its own.
# Included by packaging.cmake, which hands cpack_time to cpack.
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
set(CPACK_RPM_PACKAGE_ARCHITECTURE ${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_RPM_PACKAGE_LICENSE MIT)
# Installed where it was built for: the program is found on PATH and its manual page by man, so
# nothing is gained by moving it, and rpm then shows no "Relocations".
set(CPACK_PACKAGE_RELOCATABLE OFF)
# rpm's summary is capitalised, Debian's not; rpm's description has empty lines where Debian's
# has ".".
string(SUBSTRING "${PROJECT_DESCRIPTION}" 0 1 first)
string(SUBSTRING "${PROJECT_DESCRIPTION}" 1 -1 rest)
string(TOUPPER "${first}" first)
set(CPACK_RPM_PACKAGE_SUMMARY "${first}${rest}")
string(REPLACE "\n.\n" "\n\n" CPACK_RPM_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")

set(licencedir ${CMAKE_INSTALL_DATADIR}/licenses/${PROJECT_NAME})
install(FILES ${PROJECT_BINARY_DIR}/user/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT rpm EXCLUDE_FROM_ALL)
install(FILES LICENSE DESTINATION ${licencedir} COMPONENT rpm EXCLUDE_FROM_ALL)
set(CPACK_RPM_USER_FILELIST "%doc /usr/${CMAKE_INSTALL_DOCDIR}/README.md"
                            "%license /usr/${licencedir}/LICENSE")
# The distribution's own filesystem package owns the folders shared with other packages.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION /usr/${CMAKE_INSTALL_DATADIR}/licenses
    /usr/${CMAKE_INSTALL_MANDIR} /usr/${CMAKE_INSTALL_MANDIR}/man1)
# The .rpm takes the program's component and its own; the .deb everything else.
string(APPEND cpack_time "if(CPACK_GENERATOR STREQUAL \"RPM\")
    set(CPACK_INSTALL_CMAKE_PROJECTS
        \"${PROJECT_BINARY_DIR};${PROJECT_NAME};program;/;${PROJECT_BINARY_DIR};${PROJECT_NAME};rpm;/\")
endif()\n")

# The packager, and what makes the package reproducible: the build time and every file's time are
# SOURCE_DATE_EPOCH's (the release sets it), the build host a fixed name. rpm's post-install steps
# are left out: they would run this machine's strip on a cross-built program, which CPack has
# stripped with the target's own.
set(CPACK_RPM_SPEC_MORE_DEFINE "%define packager ${CPACK_PACKAGE_CONTACT}
%define _buildhost reproducible
%define use_source_date_epoch_as_buildtime 1
%define clamp_mtime_to_source_date_epoch 1
%define __os_install_post %{nil}")

# The changelog, converted from Debian's format (doc/changelog) to rpm's: each entry's date,
# author and version-release on one line, then its items.
file(READ ${PROJECT_SOURCE_DIR}/doc/changelog debian)
string(REPLACE ";" "<semicolon>" debian "${debian}")
string(REPLACE "\n" ";" lines "${debian}")
set(changelog "")
foreach(line IN LISTS lines)
    if(line MATCHES "^[^ ]+ \\(([^)]+)\\)")
        set(version ${CMAKE_MATCH_1})
        set(items "")
    elseif(line MATCHES "^  \\* (.*)")
        string(APPEND items "- ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^    (.*)")
        string(APPEND items "  ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^ -- (.*)  ([A-Z][a-z]+), ([0-9]+) ([A-Z][a-z]+) ([0-9]+) ")
        string(APPEND changelog "* ${CMAKE_MATCH_2} ${CMAKE_MATCH_4} ${CMAKE_MATCH_3} "
               "${CMAKE_MATCH_5} ${CMAKE_MATCH_1} - ${version}-1\n${items}\n")
    endif()
endforeach()
string(REPLACE "<semicolon>" ";" changelog "${changelog}")
file(WRITE ${PROJECT_BINARY_DIR}/rpm_changelog "${changelog}")
set(CPACK_RPM_CHANGELOG_FILE ${PROJECT_BINARY_DIR}/rpm_changelog)
