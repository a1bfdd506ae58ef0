# Helpers that keep the per-folder CMakeLists files short.
include_guard(GLOBAL)

# vela_add_gtest(NAME <name> SOURCES <files...> LIBS <targets...>)
# One GoogleTest program, run by ctest natively or through Wine for the Windows build.
function(vela_add_gtest)
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gtest)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_color=no)
  set_tests_properties(${T_NAME} PROPERTIES LABELS unit)
endfunction()

# vela_add_fuzz(NAME <name> SOURCE <file> LIBS <targets...>)
# A libFuzzer entry point. With VELA_FUZZ it becomes a real fuzzer (build/fuzz/bin/fuzz_<name>);
# in every other build it is linked with a small driver that replays the seed corpus
# fuzz/corpus/<name>/ as an ordinary test.
function(vela_add_fuzz)
  cmake_parse_arguments(F "" "NAME;SOURCE" "LIBS" ${ARGN})
  set(corpus ${CMAKE_SOURCE_DIR}/fuzz/corpus/${F_NAME})
  if(VELA_FUZZ)
    add_executable(fuzz_${F_NAME} ${F_SOURCE})
    target_link_libraries(fuzz_${F_NAME} PRIVATE ${F_LIBS})
    target_link_options(fuzz_${F_NAME} PRIVATE -fsanitize=fuzzer)
  else()
    add_executable(fuzz_replay_${F_NAME} ${F_SOURCE} ${CMAKE_SOURCE_DIR}/fuzz/replay_main.cpp)
    target_link_libraries(fuzz_replay_${F_NAME} PRIVATE ${F_LIBS})
    if(VELA_TESTS)
      add_test(NAME fuzz_replay_${F_NAME} COMMAND fuzz_replay_${F_NAME} ${corpus})
      set_tests_properties(fuzz_replay_${F_NAME} PROPERTIES LABELS fuzz-replay)
    endif()
  endif()
endfunction()
