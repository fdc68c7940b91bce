# `cmake --build build --target format` formats every C++ file of the project.
find_program(CLANG_FORMAT_EXE NAMES clang-format clang-format-14)
if(CLANG_FORMAT_EXE)
    file(GLOB_RECURSE KUVRION_FORMAT_FILES CONFIGURE_DEPENDS
         ${PROJECT_SOURCE_DIR}/src/*.h ${PROJECT_SOURCE_DIR}/src/*.cpp
         ${PROJECT_SOURCE_DIR}/tests/*.h ${PROJECT_SOURCE_DIR}/tests/*.cpp
         ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
    add_custom_target(format COMMAND ${CLANG_FORMAT_EXE} -i ${KUVRION_FORMAT_FILES}
                      COMMENT "clang-format" VERBATIM)
    add_custom_target(format-check COMMAND ${CLANG_FORMAT_EXE} --dry-run -Werror ${KUVRION_FORMAT_FILES}
                      COMMENT "clang-format check" VERBATIM)
endif()
