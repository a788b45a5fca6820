# The program is built in layers, each a static library that may use only the layers below
# it: core, protocol, engine, ui, then the executable in app/. A layer's headers are reached
# as "<layer>/<file>.h" through an include folder that holds that layer alone, so a layer
# that includes a header of a layer above it does not compile.
#
# The include folder is a real one in the build folder (a link to the sources would need a
# file system with symbolic links): for each header its target lists, a one-line header
# that includes the real one. It changes only when the list does, so an edited header is
# seen at once, and a header that is not listed cannot be included.

# qr_layer_include_root(<target> <folder> <PUBLIC|PRIVATE>): gives <target> the include
# folder of <folder>, made from the headers the target lists once its CMakeLists.txt is read
# (so that headers added later with target_sources count too).
function(qr_layer_include_root target folder scope)
    target_include_directories(${target} ${scope} ${CMAKE_BINARY_DIR}/layer-includes/${folder})
    # A deferred call sees the variables of its own time: the values go in as text.
    cmake_language(EVAL CODE
        "cmake_language(DEFER CALL qr_write_layer_headers [[${target}]] [[${folder}]])")
endfunction()

function(qr_write_layer_headers target folder)
    set(root ${CMAKE_BINARY_DIR}/layer-includes/${folder})
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    set(layer_dir ${PROJECT_SOURCE_DIR}/${folder})
    set(wanted "")
    foreach(source ${sources})
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir} NORMALIZE)
        cmake_path(IS_PREFIX layer_dir ${source} NORMALIZE in_layer)
        if(NOT source MATCHES "\\.h$" OR NOT in_layer)
            continue()
        endif()
        cmake_path(RELATIVE_PATH source BASE_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE name)
        list(APPEND wanted ${root}/${name})
        file(CONFIGURE OUTPUT ${root}/${name} CONTENT "#include \"${source}\"\n" @ONLY)
    endforeach()
    # A header taken off the list leaves the folder too.
    file(GLOB_RECURSE present ${root}/*.h)
    list(REMOVE_ITEM present ${wanted})
    if(present)
        file(REMOVE ${present})
    endif()
endfunction()

# qr_add_layer(<target> <folder> [DEPENDS <PUBLIC|PRIVATE targets…>] SOURCES <files…>)
# Sources are named relative to <folder>. A layer's own files include each other by the same
# "<layer>/…" paths as everyone else.
function(qr_add_layer target folder)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "DEPENDS;SOURCES")
    list(TRANSFORM arg_SOURCES PREPEND ${PROJECT_SOURCE_DIR}/${folder}/)
    qt_add_library(${target} STATIC ${arg_SOURCES})
    qr_layer_include_root(${target} ${folder} PUBLIC)
    target_link_libraries(${target} ${arg_DEPENDS})
endfunction()
