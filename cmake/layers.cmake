# One static library per layer, linked only to the layers below it. A build-time check refuses an
# include of a layer that is not below (a header-only use would otherwise slip past the linker).
set(RG_LAYER_CHECK ${CMAKE_CURRENT_LIST_DIR}/check_layers.cmake)

# rg_add_layer(<layer> <may use...>): the library reelgrab_<layer> over src/<layer>.
function(rg_add_layer layer)
    set(allowed ${ARGN} ${layer})
    add_library(reelgrab_${layer} STATIC)
    target_include_directories(reelgrab_${layer} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    foreach(lower IN LISTS ARGN)
        target_link_libraries(reelgrab_${layer} PUBLIC reelgrab_${lower})
    endforeach()

    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${layer}/*.h
                                        ${PROJECT_SOURCE_DIR}/src/${layer}/*.cpp)
    set(stamp ${CMAKE_CURRENT_BINARY_DIR}/layer_${layer}.checked)
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR}/src -DLAYER=${layer}
                "-DALLOWED=${allowed}" -DSTAMP=${stamp} -P ${RG_LAYER_CHECK}
        DEPENDS ${sources} ${RG_LAYER_CHECK}
        COMMENT "Checking the includes of the ${layer} layer"
        VERBATIM)
    add_custom_target(reelgrab_${layer}_layer_check DEPENDS ${stamp})
    add_dependencies(reelgrab_${layer} reelgrab_${layer}_layer_check)
endfunction()
