# Run by CPack's External generator once the three components are staged, one
# folder each: packs each folder into its archive.
set(archives)
foreach(component IN ITEMS Unspecified win32 win64)
  if(component STREQUAL "Unspecified")
    set(archive ${CPACK_PACKAGE_DIRECTORY}/tessaryn-${CPACK_PACKAGE_VERSION}-linux-x86_64.tar.gz)
  else()
    set(archive ${CPACK_PACKAGE_DIRECTORY}/tessaryn-${CPACK_PACKAGE_VERSION}-${component}.zip)
  endif()
  execute_process(
    COMMAND ${CPACK_TESSARYN_PYTHON} ${CPACK_TESSARYN_ARCHIVER} --epoch ${CPACK_TESSARYN_EPOCH}
      ${CPACK_TEMPORARY_DIRECTORY}/${component} ${archive}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "could not make ${archive}")
  endif()
  list(APPEND archives ${archive})
endforeach()
set(CPACK_EXTERNAL_BUILT_PACKAGES ${archives})
