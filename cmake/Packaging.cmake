# Installation and packages.
#
# Linux: `cmake --install` puts kuvrion and kuvrion-cli into bin/, the desktop entry, the icon, the
# AppStream metainfo and the manual under share/; `cpack` builds kuvrion_<version>_amd64.deb with its
# dependencies found by dpkg-shlibdeps.
# Windows: `cpack` builds Kuvrion-<version>-win64.zip with kuvrion-cli.exe, LIESMICH.txt, the sample
# jobs and, when KUVRION_MANUAL_PDF_FILE names one, the manual.
set(CPACK_PACKAGE_NAME Kuvrion)
set(CPACK_PACKAGE_VENDOR Kuvrion)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Sorts PCL print jobs by addressee and marks every sheet with an OME code")
set(CPACK_PACKAGE_DESCRIPTION
    "Kuvrion reads a PCL 5 print job, groups its pages by addressee and writes a new job in which
every sheet carries an OME code for the envelope-inserting machine. It comes with a Qt desktop
program, the command-line tool kuvrion-cli and the German manual.")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME Kuvrion-${PROJECT_VERSION}-win64)

    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/LIESMICH.txt
                   ${PROJECT_BINARY_DIR}/LIESMICH.txt @ONLY NEWLINE_STYLE WIN32)
    install(FILES ${PROJECT_BINARY_DIR}/LIESMICH.txt DESTINATION .)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/ DESTINATION samples
            FILES_MATCHING PATTERN "*.pcl" PATTERN "*.ini")
    set(KUVRION_MANUAL_PDF_FILE "" CACHE FILEPATH
        "The manual to put into the Windows package (a Linux build makes it)")
    if(KUVRION_MANUAL_PDF_FILE)
        install(FILES ${KUVRION_MANUAL_PDF_FILE} DESTINATION .)
    endif()
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_PACKAGE_NAME kuvrion)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION misc)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kuvrion maintainers <maintainers@kuvrion.invalid>")
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    # German texts in Qt's own dialogs (file dialog buttons and the like), and a font with the
    # symbols the page text window shows for control bytes (CR, LF, ...), which DejaVu lacks.
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-symbola")
    # The print-queue backend in /usr/lib/cups/backend needs a print system to run in.
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cups")
endif()

include(CPack)
