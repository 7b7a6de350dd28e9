# Script mode (cmake -P), run by the windows-packages target: lays out the portable folder
# BASE_NAME/ in OUTPUT_DIR — the programs, exactly the DLLs they import (found with objdump, as
# there is no deployment tool for a cross build), the platform and style plugins, Qt's Chinese
# translation, the extra files and the licence texts — strips the binaries, and packs
# BASE_NAME.zip and BASE_NAME-setup.exe.
cmake_minimum_required(VERSION 3.25)

set(stage ${OUTPUT_DIR}/${BASE_NAME})
file(REMOVE_RECURSE ${stage})
file(MAKE_DIRECTORY ${stage})

# The DLL names a Windows binary imports.
function(imported_dlls binary out)
    execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${OBJDUMP} cannot read ${binary}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\n]+" lines "${dump}")
    list(TRANSFORM lines REPLACE "DLL Name: " "")
    set(${out} ${lines} PARENT_SCOPE)
endfunction()

# Copies a binary into the stage and, one after another, every DLL it needs that is ours to
# ship; DLLs found in none of DLL_DIRS belong to Windows.
set(shipped "")
function(ship binary destination)
    get_filename_component(name ${binary} NAME)
    file(COPY ${binary} DESTINATION ${stage}/${destination})
    execute_process(COMMAND ${STRIP} --strip-unneeded ${stage}/${destination}/${name}
        RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "cannot strip ${name}")
    endif()
    imported_dlls(${binary} dlls)
    foreach(dll ${dlls})
        string(TOLOWER ${dll} key)
        if(key IN_LIST shipped)
            continue()
        endif()
        foreach(dir ${DLL_DIRS})
            if(EXISTS ${dir}/${dll})
                list(APPEND shipped ${key})
                set(shipped ${shipped} PARENT_SCOPE)
                ship(${dir}/${dll} .)
                break()
            endif()
        endforeach()
    endforeach()
    set(shipped ${shipped} PARENT_SCOPE)
endfunction()

foreach(program ${PROGRAMS})
    ship(${program} .)
endforeach()
ship(${QT_PREFIX}/plugins/platforms/qwindows.dll platforms)
ship(${QT_PREFIX}/plugins/styles/qwindowsvistastyle.dll styles)
if(NOT EXISTS ${TRANSLATIONS})
    message(FATAL_ERROR "Qt's Chinese translation ${TRANSLATIONS} is missing")
endif()
file(COPY ${TRANSLATIONS} DESTINATION ${stage}/translations)
file(COPY ${EXTRA_FILES} DESTINATION ${stage})
file(MAKE_DIRECTORY ${stage}/licenses)
foreach(entry ${LICENSE_FILES})
    string(REPLACE "=" ";" entry ${entry})
    list(GET entry 0 source)
    list(GET entry 1 name)
    if(NOT EXISTS ${source})
        message(FATAL_ERROR "the licence text ${source} is missing")
    endif()
    file(COPY_FILE ${source} ${stage}/licenses/${name})
endforeach()

# The zip holds the folder itself, so it unpacks into BASE_NAME/.
set(zip ${OUTPUT_DIR}/${BASE_NAME}.zip)
file(REMOVE ${zip})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${BASE_NAME}
    WORKING_DIRECTORY ${OUTPUT_DIR} RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot write ${zip}")
endif()

# The installer installs and removes exactly the staged files.
file(GLOB_RECURSE files RELATIVE ${stage} ${stage}/*)
list(SORT files)
set(install_lines "")
set(remove_lines "")
set(folders "")
foreach(file ${files})
    get_filename_component(folder ${file} DIRECTORY)
    string(REPLACE "/" "\\" windows_file ${file})
    string(REPLACE "/" "\\" windows_folder "${folder}")
    string(APPEND install_lines "SetOutPath \"$INSTDIR\\${windows_folder}\"\n"
                                "File \"${stage}/${file}\"\n")
    string(APPEND remove_lines "Delete \"$INSTDIR\\${windows_file}\"\n")
    if(folder AND NOT folder IN_LIST folders)
        list(APPEND folders ${folder})
    endif()
endforeach()
foreach(folder ${folders})
    string(REPLACE "/" "\\" windows_folder ${folder})
    string(APPEND remove_lines "RMDir \"$INSTDIR\\${windows_folder}\"\n")
endforeach()
file(WRITE ${OUTPUT_DIR}/installer-files.nsh "${install_lines}")
file(WRITE ${OUTPUT_DIR}/uninstaller-files.nsh "${remove_lines}")

# Apps & features shows the size of the installed files.
set(bytes 0)
foreach(file ${files})
    file(SIZE ${stage}/${file} size)
    math(EXPR bytes "${bytes} + ${size}")
endforeach()
math(EXPR kilobytes "(${bytes} + 1023) / 1024")

set(setup ${OUTPUT_DIR}/${BASE_NAME}-setup.exe)
file(REMOVE ${setup})
string(REPLACE "." ";" version_parts ${VERSION})
list(GET version_parts 0 major)
list(GET version_parts 1 minor)
math(EXPR minor "${minor}")
execute_process(COMMAND ${MAKENSIS} -V2 -INPUTCHARSET UTF8
        -DVERSION=${VERSION} -DVERSION_NUMBERS=${major}.${minor}.0.0
        -DOUTPUT=${setup} -DICON=${ICON} -DFILES_DIR=${OUTPUT_DIR} -DBASE_NAME=${BASE_NAME}
        -DESTIMATED_KB=${kilobytes}
        ${NSIS_SCRIPT}
    RESULT_VARIABLE failed)
if(failed OR NOT EXISTS ${setup})
    message(FATAL_ERROR "makensis could not build ${setup}")
endif()
