# Hardening flags for optimised builds (included from the top-level list).
find_program(VEX_DPKG_BUILDFLAGS dpkg-buildflags)
if(VEX_DPKG_BUILDFLAGS)
    set(vex_hardening_flags)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                    ${VEX_DPKG_BUILDFLAGS} --get ${kind}
            WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
            OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        # The build type chooses optimisation and debug information.
        list(FILTER flags EXCLUDE REGEX "^-(O.*|g)$")
        set(vex_${kind} ${flags})
    endforeach()
    set(vex_compile_flags ${vex_CPPFLAGS} ${vex_CXXFLAGS})
else()
    set(vex_compile_flags -D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat
                          -Werror=format-security)
    set(vex_LDFLAGS -Wl,-z,relro -Wl,-z,now)
endif()
add_compile_options(${vex_compile_flags})
add_link_options(${vex_LDFLAGS})

set(CMAKE_POSITION_INDEPENDENT_CODE ON)
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
message(STATUS "Hardening: ${vex_compile_flags} ${vex_LDFLAGS} (PIE)")
