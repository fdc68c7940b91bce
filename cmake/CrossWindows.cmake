# What a cross build for Windows needs beyond the toolchain file: the header-only packages of the
# build machine, GoogleTest built from its sources, and Wine to run the tests.

# CLI11 and nlohmann-json are header-only: they are made visible through folders holding a link
# to their own header folder, never through /usr/include, whose Linux headers would shadow the
# MinGW ones.
function(kuvrion_host_header_package target header)
    string(REGEX REPLACE "/.*" "" folder ${header})
    find_path(KUVRION_HOST_${folder}_DIR ${header} PATHS /usr/include NO_DEFAULT_PATH
              NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(root ${PROJECT_BINARY_DIR}/host-headers/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${KUVRION_HOST_${folder}_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${root})
endfunction()

kuvrion_host_header_package(CLI11::CLI11 CLI/CLI.hpp)
kuvrion_host_header_package(nlohmann_json::nlohmann_json nlohmann/json.hpp)
kuvrion_host_header_package(Asio::Asio asio/version.hpp)

if(KUVRION_TESTS)
    # Debian's GoogleTest sources, compiled with the cross compiler (they define GTest::gtest).
    set(KUVRION_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${KUVRION_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

    # The tests run under Wine, in a prefix of their own inside the build folder. Test names are
    # listed when the tests run, so building needs no Wine.
    if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
        find_program(KUVRION_WINE NAMES wine wine-stable wine64 PATHS /usr/lib/wine)
        if(KUVRION_WINE)
            set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all
                WINEPREFIX=${PROJECT_BINARY_DIR}/wine ${KUVRION_WINE})
        endif()
    endif()
    set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()
