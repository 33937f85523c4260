# The downloadable archives, made by `cmake --workflow --preset release`:
#   tessaryn-<version>-win32.zip         frontend.exe and tessaryn.exe (i686) side by side
#   tessaryn-<version>-win64.zip         the same for x86_64
#   tessaryn-<version>-linux-x86_64.tar.gz  bin/tessaryn, the manual page, the docs, and
#                                        bin/tessaryn-frontend, which runs the x86_64
#                                        frontend.exe and tessaryn.exe under Wine
# each with readme.txt (docs/readme.ja.txt: in code page 932 with CR LF for
# Windows, as it is for Linux), tessaryn.ini.sample, README.md with its pictures
# and LICENSE. The two Windows builds are made inside this build by the mingw-w64
# cross compilers. CPack installs each archive's files into a staging folder of
# its own; tools/release-archives.py then packs them reproducibly
# (SOURCE_DATE_EPOCH, sorted entries, fixed owners).
include(ExternalProject)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
cmake_host_system_information(RESULT release_jobs QUERY NUMBER_OF_LOGICAL_CORES)

# The readme as Japanese Windows reads it, made from the one source.
set(windows_readme ${CMAKE_BINARY_DIR}/windows-text/readme.txt)
add_custom_command(OUTPUT ${windows_readme}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/windows-text
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tools/windows-text.py
    ${PROJECT_SOURCE_DIR}/docs/readme.ja.txt ${windows_readme}
  DEPENDS docs/readme.ja.txt tools/windows-text.py
  VERBATIM)
add_custom_target(windows_readme ALL DEPENDS ${windows_readme})

set(tessaryn_release_names win32 win64)
set(tessaryn_release_toolchains mingw-i686 mingw-x86_64)
foreach(name toolchain IN ZIP_LISTS tessaryn_release_names tessaryn_release_toolchains)
  set(windows_build ${CMAKE_BINARY_DIR}/${name})
  ExternalProject_Add(release_${name}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${windows_build}
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/${toolchain}.cmake
      -DCMAKE_BUILD_TYPE=Release
      -DTESSARYN_BUILD_TESTS=OFF
      -DTESSARYN_WERROR=${TESSARYN_WERROR}
      -DCMAKE_EXE_LINKER_FLAGS=-s
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --parallel ${release_jobs}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
  install(PROGRAMS ${windows_build}/bin/frontend.exe ${windows_build}/bin/tessaryn.exe
    DESTINATION . COMPONENT ${name} EXCLUDE_FROM_ALL)
  install(FILES README.md LICENSE tessaryn.ini.sample ${windows_readme} DESTINATION . COMPONENT ${name} EXCLUDE_FROM_ALL)
  install(DIRECTORY docs/ DESTINATION docs COMPONENT ${name} EXCLUDE_FROM_ALL FILES_MATCHING PATTERN "*.png")
endforeach()

# The Linux archive: the x86_64 frontend and packer in libexec/tessaryn (where
# bin/tessaryn-frontend looks for them), and the readme at the top.
install(PROGRAMS ${CMAKE_BINARY_DIR}/win64/bin/frontend.exe ${CMAKE_BINARY_DIR}/win64/bin/tessaryn.exe
  DESTINATION libexec/tessaryn)
install(PROGRAMS tools/tessaryn-frontend.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME tessaryn-frontend)
install(FILES docs/readme.ja.txt DESTINATION . RENAME readme.txt)

# SOURCE_DATE_EPOCH from the environment, else the time of the last commit, so
# that two builds of one commit make the same archives.
set(release_epoch "$ENV{SOURCE_DATE_EPOCH}")
if(release_epoch STREQUAL "")
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    OUTPUT_VARIABLE release_epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()
if(NOT release_epoch MATCHES "^[0-9]+$")
  set(release_epoch 1131580800)  # the packer's date, 2005-11-10
endif()

set(CPACK_PACKAGE_NAME tessaryn)
set(CPACK_PACKAGE_VERSION ${TESSARYN_PACKER_DATE})
set(CPACK_GENERATOR External)
set(CPACK_EXTERNAL_ENABLE_STAGING ON)
set(CPACK_EXTERNAL_PACKAGE_SCRIPT ${PROJECT_SOURCE_DIR}/cmake/ReleaseArchives.cmake)
set(CPACK_COMPONENTS_ALL Unspecified win32 win64)  # Unspecified: the native install, bin/tessaryn and its docs
set(CPACK_COMPONENTS_GROUPING IGNORE)  # each archive's files in a staging folder of its own
set(CPACK_TESSARYN_EPOCH ${release_epoch})
set(CPACK_TESSARYN_PYTHON ${Python3_EXECUTABLE})
set(CPACK_TESSARYN_ARCHIVER ${PROJECT_SOURCE_DIR}/tools/release-archives.py)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES bin/tessaryn)
include(CPack)
