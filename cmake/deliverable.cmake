# prnuninst.exe without the C runtime: our own entry and load-configuration
# record, only system DLLs, the icon as the one resource, and no build time in
# the header.
enable_language(RC)

set(icon ${CMAKE_BINARY_DIR}/prnuninst.ico)
add_custom_command(
    OUTPUT ${icon}
    COMMAND ${PRNUNINST_PYTHON} ${CMAKE_SOURCE_DIR}/res/xpm_to_ico.py ${CMAKE_SOURCE_DIR}/res/prnuninst.xpm ${icon}
    DEPENDS ${CMAKE_SOURCE_DIR}/res/prnuninst.xpm ${CMAKE_SOURCE_DIR}/res/xpm_to_ico.py
    COMMENT "Icon from res/prnuninst.xpm"
    VERBATIM)

set(rc ${CMAKE_SOURCE_DIR}/res/prnuninst.rc)
set_source_files_properties(${rc} PROPERTIES INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR} OBJECT_DEPENDS ${icon})

# Subsystem and OS version 4.0 load on NT 4.0 and every later Windows; a
# newer version is refused by older systems (lld would write 6.0). PE32+ gets
# 5.2, the first x64 Windows.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(entry _ProgramEntry@0)  # __stdcall decoration on i386
    set(major 4)
    set(minor 0)
    # The programs register no exception handler: NO_SEH tells the loader.
    set(arch_options -Wl,--no-seh)
else()
    set(entry ProgramEntry)
    set(major 5)
    set(minor 2)
    set(arch_options)
endif()
foreach(kind subsystem os)
    list(APPEND arch_options -Wl,--major-${kind}-version,${major} -Wl,--minor-${kind}-version,${minor})
endforeach()

# TARGET, built like the other from the table's rows, with our own entry, no
# C runtime, only system DLLs and a checksum in its header.
function(prnuninst_deliverable target)
    target_include_directories(${target} PRIVATE ${PRNUNINST_GENERATED})
    add_dependencies(${target} model_table)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:CXX>:-Os;-fno-exceptions;-fno-rtti;-fno-asynchronous-unwind-tables;-fno-unwind-tables;-fno-threadsafe-statics;-fno-stack-protector;-fno-ident;-fno-builtin>)
    target_link_options(${target} PRIVATE
        -nostdlib -nostartfiles -s -Wl,-e,${entry} -Wl,--no-insert-timestamp
        -Wl,--dynamicbase -Wl,--nxcompat ${arch_options})
    # WINSPOOL.DRV is loaded by its full path at run time, not imported.
    target_link_libraries(${target} PRIVATE kernel32 user32 advapi32)
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${PRNUNINST_PYTHON} ${CMAKE_SOURCE_DIR}/cmake/pe_checksum.py $<TARGET_FILE:${target}>
        COMMENT "PE header checksum"
        VERBATIM)
endfunction()

add_executable(prnuninst WIN32 ${PRNUNINST_SOURCES} ${CMAKE_SOURCE_DIR}/src/front/entry.cpp
               ${CMAKE_SOURCE_DIR}/src/front/load_config.cpp ${rc} ${icon})
prnuninst_deliverable(prnuninst)
# The console program that answers "is the model gone?" from the same table,
# read only: no icon, and none of the removal's code.
add_executable(prncheck
    ${CMAKE_SOURCE_DIR}/src/check/entry.cpp ${PRNCHECK_SOURCES} ${CMAKE_SOURCE_DIR}/src/front/command_tail.cpp
    ${CMAKE_SOURCE_DIR}/src/front/dll_search.cpp ${CMAKE_SOURCE_DIR}/src/front/load_config.cpp
    ${CMAKE_SOURCE_DIR}/src/removal/model_table.cpp)
prnuninst_deliverable(prncheck)
target_link_options(prncheck PRIVATE -mconsole)
# The default list would add libraries the programs do not call.
set(CMAKE_CXX_STANDARD_LIBRARIES "")

# Programs the end-to-end tests run beside the utility (PE32+ only: under
# emulation a PE32 program can start only 64-bit children).
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_subdirectory(${CMAKE_SOURCE_DIR}/tests/e2e ${CMAKE_BINARY_DIR}/e2e)
endif()
