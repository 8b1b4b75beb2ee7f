# Pasted input through the handlers, and one generate under valgrind where
# valgrind is installed and the build is neither cross-compiled nor
# sanitized (the sanitizers and valgrind do not mix).
quoril_test(app_bad_input_test bad_input_test.cc LIBS quoril_app quoril_test_server
            PROPERTIES TIMEOUT 300)
find_program(QUORIL_VALGRIND valgrind)
if(QUORIL_VALGRIND AND NOT CMAKE_CROSSCOMPILING AND NOT CMAKE_CXX_FLAGS MATCHES "sanitize")
  add_test(NAME app_generate_valgrind
           COMMAND ${QUORIL_VALGRIND} --leak-check=full --errors-for-leak-kinds=definite,possible
                   --error-exitcode=1 --suppressions=${CMAKE_CURRENT_SOURCE_DIR}/valgrind.supp
                   $<TARGET_FILE:app_bad_input_test>
                   --gtest_filter=BadInputTest.OneGenerate)
  set_tests_properties(app_generate_valgrind PROPERTIES TIMEOUT 300)
endif()
