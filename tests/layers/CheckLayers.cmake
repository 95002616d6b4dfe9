# Fails when a source file includes from a layer above its own.
#
# Each folder under src/ is one layer; a file may include its own folder and the folders below
# it. The platform's implementations (platform/linux/) are reached only through the adapter
# factory, the composition root and the command-line tool. Run as
#   cmake -DSOURCE_DIR=<repo>/src -P CheckLayers.cmake
set(layers base platform settings markdown store sync telemetry media ai export commands ui app)
set(rank 0)
foreach(layer IN LISTS layers)
    set(rank_${layer} ${rank})
    math(EXPR rank "${rank} + 1")
endforeach()
# The command-line tool stands beside the composition root, never on it; what both run (the
# note commands) lives below them both.
set(rank_cli ${rank_app})

file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
set(violations "")
foreach(source IN LISTS sources)
    string(REGEX MATCH "^[^/]+" own "${source}")
    if(NOT DEFINED rank_${own})
        string(APPEND violations "\n  ${source}: folder '${own}' is not a known layer")
        continue()
    endif()
    file(STRINGS "${SOURCE_DIR}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*" "\\1" included "${line}")
        if(NOT included MATCHES "/")
            continue() # generated headers (BuildInfo.h) and Qt's moc files
        endif()
        string(REGEX MATCH "^[^/]+" target "${included}")
        if(NOT DEFINED rank_${target})
            string(APPEND violations "\n  ${source}: includes ${included} from no known layer")
        elseif(NOT target STREQUAL own AND NOT rank_${target} LESS rank_${own})
            string(APPEND violations "\n  ${source}: includes ${included} (${target} is not below ${own})")
        elseif(included MATCHES "^platform/linux/" AND NOT own MATCHES "^(platform|app|cli)$")
            string(APPEND violations "\n  ${source}: includes ${included}; use the adapter interface")
        endif()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "Includes against the layers:${violations}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files follow the layers")
