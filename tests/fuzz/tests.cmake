# Each fuzz target for a bounded time (label fuzz), from the fuzz preset's build.
set(PRNUNINST_FUZZ_DIR "${CMAKE_SOURCE_DIR}/build/fuzz" CACHE PATH "The fuzz preset's build directory")
set(PRNUNINST_FUZZ_SECONDS 20 CACHE STRING "How long each fuzz target runs in the test suite")
# main_flow_modern: the main flow's invariant over models/example-modern.toml.
foreach(target command_tail main_flow main_flow_modern)
    string(REPLACE "_modern" "" seeds ${target})
    add_test(NAME fuzz_${target}
             COMMAND ${CMAKE_CURRENT_LIST_DIR}/run.sh ${PRNUNINST_FUZZ_DIR}/fuzz_${target}
                     ${CMAKE_CURRENT_LIST_DIR}/corpus/${seeds} ${PRNUNINST_FUZZ_DIR}/work/${target}
                     ${PRNUNINST_FUZZ_SECONDS})
    set_tests_properties(fuzz_${target} PROPERTIES LABELS fuzz TIMEOUT 300)
endforeach()
