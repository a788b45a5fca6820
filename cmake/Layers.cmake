# The program is built in layers, each a static library that may use only the layers below
# it: core, protocol, engine, ui, then the executable in app/. A layer's headers are reached
# as "<layer>/<file>.h" through an include folder that holds that layer alone (a link to its
# source folder), so a layer that includes a header of a layer above it does not compile.

# qr_layer_include_root(<folder> <variable>): the include folder that holds <folder> alone.
function(qr_layer_include_root folder variable)
    set(root ${CMAKE_BINARY_DIR}/layers/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
    set(${variable} ${root} PARENT_SCOPE)
endfunction()

# qr_add_layer(<target> <folder> [DEPENDS <PUBLIC|PRIVATE targets…>] SOURCES <files…>)
# Sources are named relative to <folder>. A layer's own files include each other by the same
# "<layer>/…" paths as everyone else.
function(qr_add_layer target folder)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "DEPENDS;SOURCES")
    list(TRANSFORM arg_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/${folder}/)
    qt_add_library(${target} STATIC ${arg_SOURCES})
    qr_layer_include_root(${folder} include_root)
    target_include_directories(${target} PUBLIC ${include_root})
    target_link_libraries(${target} ${arg_DEPENDS})
endfunction()
