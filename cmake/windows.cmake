# The Windows edition, cross-built with cmake/mingw-w64-x86_64.cmake: the programs' resources
# (version information, icon, manifest), running the tests under Wine, and the portable zip and
# NSIS installer (`cmake --build --preset windows --target windows-packages`).

enable_language(RC)

# The MinGW runtime DLLs live beside the compiler, not in the Qt prefix.
foreach(dll libstdc++-6.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(dll_dir ${dll_path} DIRECTORY)
    get_filename_component(dll_dir ${dll_dir} REALPATH)
    list(APPEND tavrinel_mingw_dll_dirs ${dll_dir})
endforeach()
get_filename_component(tavrinel_qt_prefix ${Qt6_DIR}/../../.. REALPATH)
set(tavrinel_dll_dirs ${tavrinel_qt_prefix}/bin ${tavrinel_mingw_dll_dirs})

# Tests run under Wine with the Qt and MinGW DLLs found through WINEPATH.
set(wine_dll_path "")
foreach(dir ${tavrinel_dll_dirs})
    string(REPLACE "/" "\\" dir "Z:${dir}")
    string(APPEND wine_dll_path "${dir};")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/scripts/wine-run.sh.in ${PROJECT_BINARY_DIR}/wine-run.sh
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_BINARY_DIR}/wine-run.sh)

set(windows_data ${PROJECT_SOURCE_DIR}/data/windows)
set(tavrinel_ico ${PROJECT_BINARY_DIR}/tavrinel.ico)
add_custom_command(OUTPUT ${tavrinel_ico}
    COMMAND icotool -c -o ${tavrinel_ico}
        ${PROJECT_SOURCE_DIR}/data/icons/tavrinel-16.png
        ${PROJECT_SOURCE_DIR}/data/icons/tavrinel-32.png
    DEPENDS ${PROJECT_SOURCE_DIR}/data/icons/tavrinel-16.png
        ${PROJECT_SOURCE_DIR}/data/icons/tavrinel-32.png
    VERBATIM)
add_custom_target(tavrinel_ico DEPENDS ${tavrinel_ico})

# Version information in Chinese (PRC) for a program; the window also gets its icon.
function(tavrinel_add_version_resource target description)
    set(rc_name ${target})
    set(rc_file_name ${target}.exe)
    set(rc_description ${description})
    set(rc_manifest ${windows_data}/tavrinel.manifest)
    string(REPLACE "." "," rc_version_numbers "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0")
    set(rc_icon_line "")
    if(target STREQUAL "tavrinel")
        set(rc_icon_line "1 ICON \"${tavrinel_ico}\"")
    endif()
    set(rc ${PROJECT_BINARY_DIR}/${target}.rc)
    configure_file(${windows_data}/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
    set_source_files_properties(${rc} PROPERTIES
        OBJECT_DEPENDS "${tavrinel_ico};${rc_manifest}")
    add_dependencies(${target} tavrinel_ico)
endfunction()

# The licence texts that travel with the Qt and MinGW-w64 DLLs, as licenses/NAME from Debian's
# records of the very packages they were built from.
set(tavrinel_license_files
    /usr/share/common-licenses/LGPL-3=LGPL-3.txt
    /usr/share/common-licenses/GPL-3=GPL-3.txt
    /usr/share/doc/libqt6core6/copyright=Qt-copyright.txt
    /usr/share/doc/mingw-w64-x86-64-dev/copyright=MinGW-w64-copyright.txt
    /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright=GCC-copyright.txt)

# THIRD-PARTY.txt: which Qt was built, with which options (as the Qt build recorded them in its
# prefix), where its exact source is and how to relink.
function(tavrinel_write_third_party_notice output)
    set(stamp ${tavrinel_qt_prefix}/.complete)
    if(NOT EXISTS ${stamp})
        message(FATAL_ERROR "${stamp} is missing: scripts/build-qt-windows.sh builds Qt")
    endif()
    file(STRINGS ${stamp} lines)
    list(POP_FRONT lines first)
    string(REGEX REPLACE "^qt6-base " "" QT_DEBIAN_VERSION "${first}")
    string(REGEX REPLACE "\\+.*" "" QT_UPSTREAM_VERSION "${QT_DEBIAN_VERSION}")
    list(FILTER lines INCLUDE REGEX "^-D")
    list(TRANSFORM lines PREPEND "       ")
    list(JOIN lines "\n" QT_OPTIONS)
    configure_file(${windows_data}/THIRD-PARTY.txt.in ${output} @ONLY NEWLINE_STYLE CRLF)
endfunction()

# The portable folder, its zip and the installer, from the built programs.
function(tavrinel_add_windows_packages)
    find_program(MAKENSIS makensis REQUIRED)
    find_program(MINGW_OBJDUMP x86_64-w64-mingw32-objdump REQUIRED)
    find_program(MINGW_STRIP x86_64-w64-mingw32-strip REQUIRED)
    set(base Tavrinel-${TAVRINEL_VERSION_TEXT}-win64)
    configure_file(${windows_data}/README.txt ${PROJECT_BINARY_DIR}/README.txt
        NEWLINE_STYLE CRLF)
    tavrinel_write_third_party_notice(${PROJECT_BINARY_DIR}/THIRD-PARTY.txt)
    add_custom_target(windows-packages
        COMMAND ${CMAKE_COMMAND}
            -D "PROGRAMS=$<TARGET_FILE:tavrinel>;$<TARGET_FILE:tavrinel-cli>"
            -D "DLL_DIRS=${tavrinel_dll_dirs}"
            -D "QT_PREFIX=${tavrinel_qt_prefix}"
            -D "TRANSLATIONS=${TAVRINEL_QT_TRANSLATIONS}"
            -D "EXTRA_FILES=${PROJECT_BINARY_DIR}/README.txt;${PROJECT_BINARY_DIR}/THIRD-PARTY.txt;${windows_data}/qt.conf"
            -D "LICENSE_FILES=${tavrinel_license_files}"
            -D "ICON=${tavrinel_ico}"
            -D "NSIS_SCRIPT=${windows_data}/tavrinel.nsi"
            -D "OBJDUMP=${MINGW_OBJDUMP}"
            -D "STRIP=${MINGW_STRIP}"
            -D "MAKENSIS=${MAKENSIS}"
            -D "VERSION=${TAVRINEL_VERSION_TEXT}"
            -D "OUTPUT_DIR=${PROJECT_BINARY_DIR}"
            -D "BASE_NAME=${base}"
            -P ${PROJECT_SOURCE_DIR}/cmake/windows-packages.cmake
        DEPENDS tavrinel tavrinel-cli tavrinel_ico
        BYPRODUCTS ${PROJECT_BINARY_DIR}/${base}.zip ${PROJECT_BINARY_DIR}/${base}-setup.exe
        COMMENT "Packing ${base}.zip and ${base}-setup.exe"
        VERBATIM)
endfunction()
