# The console as the service serves it, assembled in the build tree: the script is bundled
# from the modules under src/ by esbuild, every other file is taken from assets/ as it stands.
# Included by service/CMakeLists.txt; sets ARK_CONSOLE_DIR and ARK_CONSOLE_FILES (full paths).
set(ARK_CONSOLE_DIR ${CMAKE_BINARY_DIR}/console)
set(ark_console_static
    css/arkgui.css fonts/fontawesome-webfont.eot fonts/fontawesome-webfont.svg
    fonts/fontawesome-webfont.ttf fonts/fontawesome-webfont.woff fonts/fontawesome-webfont.woff2
    fonts/FontAwesome.otf images/morvi.svg images/qd.svg images/tesk.svg images/logo.svg
    images/nologo.svg images/plivoran.svg index.html)
set(ARK_CONSOLE_FILES)
foreach(name ${ark_console_static})
    add_custom_command(
        OUTPUT ${ARK_CONSOLE_DIR}/${name}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/assets/${name} ${ARK_CONSOLE_DIR}/${name}
        DEPENDS ${CMAKE_SOURCE_DIR}/assets/${name})
    list(APPEND ARK_CONSOLE_FILES ${ARK_CONSOLE_DIR}/${name})
endforeach()

find_program(ESBUILD esbuild REQUIRED)
file(GLOB ark_console_modules CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/assets/src/*.js)
add_custom_command(
    OUTPUT ${ARK_CONSOLE_DIR}/js/arkgui.js
    COMMAND ${ESBUILD} ${CMAKE_SOURCE_DIR}/assets/src/main.js --bundle --format=iife
            --target=es2020 --charset=utf8 --log-level=warning
            --outfile=${ARK_CONSOLE_DIR}/js/arkgui.js
    DEPENDS ${ark_console_modules}
    COMMENT "Bundling the console's script")
list(APPEND ARK_CONSOLE_FILES ${ARK_CONSOLE_DIR}/js/arkgui.js)
