# The end-to-end (label e2e) and PE32 (label pe32) tests, registered in the
# host build's CTest tree. They run the win64 and win32 preset builds in one
# throwaway Wine prefix with a persistent wineserver, one test at a time.
set(wine ${CMAKE_CURRENT_LIST_DIR}/wine.sh)
set(prefix ${CMAKE_BINARY_DIR}/wine-prefix)
set(driver ${PRNUNINST_WIN64_DIR}/e2e/e2e_tests.exe)

add_test(NAME wine_prefix_setup COMMAND ${wine} setup ${prefix})
add_test(NAME wine_prefix_cleanup COMMAND ${wine} remove ${prefix})
set_tests_properties(wine_prefix_setup PROPERTIES FIXTURES_SETUP wine LABELS "e2e;pe32;installer" TIMEOUT 300)
set_tests_properties(wine_prefix_cleanup PROPERTIES FIXTURES_CLEANUP wine LABELS "e2e;pe32;installer")

# e2e_<NAME> for each GROUP:LOCALE, run by the e2e driver of the win64 build in BUILD.
function(e2e_groups name build)
    foreach(group_locale ${ARGN})
        string(REPLACE ":" ";" parts ${group_locale})
        list(GET parts 0 group)
        list(GET parts 1 locale)
        add_test(NAME e2e_${name}${group} COMMAND ${wine} run ${prefix} ${locale} ${build}/e2e/e2e_tests.exe run ${group})
        set_tests_properties(e2e_${name}${group} PROPERTIES LABELS e2e TIMEOUT 300)
    endforeach()
endfunction()
e2e_groups("" ${PRNUNINST_WIN64_DIR} models:ko_KR.UTF-8 refused:ko_KR.UTF-8 command_line:ko_KR.UTF-8
           planted:ko_KR.UTF-8 codepage1252:C.UTF-8 check:ko_KR.UTF-8)
# The same groups that depend on the table, on the win64 build of the example
# table for code page 932 (scripts/build --models models/example-932.toml win64).
set(PRNUNINST_WIN64_932_DIR "${CMAKE_SOURCE_DIR}/build/win64-example-932" CACHE PATH
    "The win64 build of models/example-932.toml")
e2e_groups(932_ ${PRNUNINST_WIN64_932_DIR} models:ja_JP.UTF-8 refused:ja_JP.UTF-8 codepage1252:C.UTF-8
           check:ja_JP.UTF-8)
# The table that names drivers and the 64-bit view, on its win64 build
# (scripts/build --models models/example-modern.toml win64 win32), and once as
# the PE32 under emulation, where only the 64-bit view's keys and the named
# "Windows x64" environment reach the 64-bit drivers.
set(PRNUNINST_WIN64_MODERN_DIR "${CMAKE_SOURCE_DIR}/build/win64-example-modern" CACHE PATH
    "The win64 build of models/example-modern.toml")
set(PRNUNINST_WIN32_MODERN_DIR "${CMAKE_SOURCE_DIR}/build/win32-example-modern" CACHE PATH
    "The win32 build of models/example-modern.toml")
e2e_groups(modern_ ${PRNUNINST_WIN64_MODERN_DIR} models:C.UTF-8 refused:C.UTF-8 check:C.UTF-8)
add_test(NAME pe32_modern_P COMMAND ${CMAKE_CURRENT_LIST_DIR}/pe32.sh ${prefix} ${PRNUNINST_WIN32_MODERN_DIR}/prnuninst.exe
                                    ${PRNUNINST_WIN64_MODERN_DIR}/e2e/e2e_tests.exe P "/fPC:\\e2e\\followon.exe"
                                    "C:\\e2e\\followon.exe")
set_tests_properties(pe32_modern_P PROPERTIES LABELS pe32 TIMEOUT 600)
# A table whose drivers have bounds: under Wine every version reads 0, below
# every bound, so it removes, and reports, what a table without them does.
set(PRNUNINST_WIN64_VERSIONS_DIR "${CMAKE_SOURCE_DIR}/build/win64-example-versions" CACHE PATH
    "The win64 build of models/example-versions.toml")
set(PRNUNINST_WIN32_VERSIONS_DIR "${CMAKE_SOURCE_DIR}/build/win32-example-versions" CACHE PATH
    "The win32 build of models/example-versions.toml")
e2e_groups(versions_ ${PRNUNINST_WIN64_VERSIONS_DIR} models:C.UTF-8 check:C.UTF-8)
# The bounded wait for a driver in use, on a real clock.
add_test(NAME e2e_modern_busy COMMAND ${CMAKE_CURRENT_LIST_DIR}/busy.sh ${prefix}
                                      ${PRNUNINST_WIN64_MODERN_DIR}/prnuninst.exe
                                      ${PRNUNINST_WIN64_MODERN_DIR}/e2e/busy_winspool.drv)
set_tests_properties(e2e_modern_busy PROPERTIES LABELS e2e TIMEOUT 120)
# Native DLLs before Wine's builtin ones, as Windows loads them.
set_tests_properties(e2e_planted PROPERTIES ENVIRONMENT PRNUNINST_WINEDLLOVERRIDES=winspool.drv=n,b)

# About a minute each under emulation: a removal whose spooler step shows
# (model 3's queue is named apart from its keys), and a run that does nothing.
add_test(NAME pe32_model3 COMMAND ${CMAKE_CURRENT_LIST_DIR}/pe32.sh ${prefix} ${PRNUNINST_WIN32_DIR}/prnuninst.exe
                                  ${driver} 3 "/f3C:\\e2e\\followon.exe" "C:\\e2e\\followon.exe")
add_test(NAME pe32_no_slash COMMAND ${CMAKE_CURRENT_LIST_DIR}/pe32.sh ${prefix} ${PRNUNINST_WIN32_DIR}/prnuninst.exe
                                    ${driver} none "C:\\e2e\\followon.exe")
# prncheck.exe itself under emulation, before the removal: status 1 and
# model 3's lines, as a file receives them.
add_test(NAME pe32_check COMMAND ${CMAKE_CURRENT_LIST_DIR}/pe32_check.sh ${prefix} ${PRNUNINST_WIN32_DIR}/prncheck.exe
                                 ${driver} 3)
set_tests_properties(pe32_model3 pe32_no_slash pe32_check PROPERTIES LABELS pe32 TIMEOUT 600)

# The NSIS example, built for both targets in both forms (the x86 ones are
# only built: under emulation a PE32 cannot start a PE32 child), and the
# amd64 ones run.
set(installers ${CMAKE_BINARY_DIR}/installers)
file(MAKE_DIRECTORY ${installers})
foreach(target_build x86-unicode:${PRNUNINST_WIN32_DIR} amd64-unicode:${PRNUNINST_WIN64_DIR})
    string(REPLACE ":" ";" parts ${target_build})
    list(GET parts 0 target)
    list(GET parts 1 build)
    foreach(form recommended chained)
        set(chain)
        if(form STREQUAL chained)
            set(chain -DCHAIN)
        endif()
        add_test(NAME nsis_${target}_${form}
                 COMMAND makensis -V2 -DTARGET=${target} -DPRNUNINST=${build}/prnuninst.exe
                         "-DSETUP=C:\\e2e\\dir with blanks\\followon.exe" ${chain}
                         -DOUTFILE=${installers}/${target}-${form}.exe ${CMAKE_SOURCE_DIR}/examples/nsis/remove-model.nsi)
        set_tests_properties(nsis_${target}_${form} PROPERTIES LABELS installer FIXTURES_SETUP nsis)
    endforeach()
endforeach()
# The Windows Installer example, built by wixl for both architectures (x86
# around the deliverable; x64, which is installed and run), in the build
# folder: wixl takes the program's path relative to where it runs.
foreach(arch_build x86:${PRNUNINST_WIN32_DIR} x64:${PRNUNINST_WIN64_DIR})
    string(REPLACE ":" ";" parts ${arch_build})
    list(GET parts 0 arch)
    list(GET parts 1 build)
    add_test(NAME wixl_${arch}
             COMMAND wixl -a ${arch} -D PRNUNINST=prnuninst.exe -o ${installers}/${arch}.msi
                     ${CMAKE_SOURCE_DIR}/examples/wix/remove-model.wxs
             WORKING_DIRECTORY ${build})
    set_tests_properties(wixl_${arch} PROPERTIES LABELS installer FIXTURES_SETUP wixl)
endforeach()
foreach(group installer windows_installer)
    add_test(NAME e2e_${group} COMMAND ${wine} run ${prefix} ko_KR.UTF-8 ${driver} run ${group})
    set_tests_properties(e2e_${group} PROPERTIES LABELS installer TIMEOUT 300 ENVIRONMENT PRNUNINST_INSTALLERS=${installers})
endforeach()

get_directory_property(wine_tests TESTS)
list(FILTER wine_tests INCLUDE REGEX "^(e2e|pe32)_")
set_tests_properties(${wine_tests} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wine_prefix)
set_tests_properties(wine_prefix_setup wine_prefix_cleanup PROPERTIES RESOURCE_LOCK wine_prefix)
set_tests_properties(e2e_installer PROPERTIES FIXTURES_REQUIRED "wine;nsis")
set_tests_properties(e2e_windows_installer PROPERTIES FIXTURES_REQUIRED "wine;wixl")
