# Fails when a file of one layer includes a header of a layer it may not use.
#   cmake -DROOT=<folder holding the layer folders> -DLAYER=<name> -DALLOWED=<a;b;c>
#         [-DSTAMP=<file to touch on success>] -P check_layers.cmake
# Only the layer's own folder is read, not its ui/ subfolder (the GUI sits above every layer).
cmake_minimum_required(VERSION 3.25)

if(NOT ROOT OR NOT LAYER OR NOT ALLOWED)
    message(FATAL_ERROR "check_layers: ROOT, LAYER and ALLOWED are required")
endif()

file(GLOB files "${ROOT}/${LAYER}/*.h" "${ROOT}/${LAYER}/*.cpp")
set(faults "")
foreach(file IN LISTS files)
    file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[A-Za-z_0-9]+/")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([A-Za-z_0-9]+)/.*" "\\1" used "${line}")
        if(NOT used IN_LIST ALLOWED)
            string(STRIP "${line}" line)
            list(APPEND faults "${file}: ${line} (the ${LAYER} layer may use: ${ALLOWED})")
        endif()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "include against the layering:\n  ${text}")
endif()
if(STAMP)
    file(TOUCH "${STAMP}")
endif()
