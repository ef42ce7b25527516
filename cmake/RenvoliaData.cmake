# The installation layout (GNUInstallDirs) and where the programs find their
# data: the help guide and its screenshots live in <data folder>/renvolia.
include(GNUInstallDirs)
# Debian's name for the package's documentation folder, whatever the
# project's name.
if(NOT CMAKE_INSTALL_DOCDIR OR CMAKE_INSTALL_DOCDIR STREQUAL "${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME}")
  set(CMAKE_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/renvolia")
endif()
set(RENVOLIA_DATA_DIR "${CMAKE_INSTALL_DATADIR}/renvolia")
file(RELATIVE_PATH RENVOLIA_DATA_FROM_PROGRAM "${CMAKE_INSTALL_FULL_BINDIR}"
  "${CMAKE_INSTALL_FULL_DATADIR}/renvolia")

# The build tree mirrors that layout from build/app, its docs/ standing in
# for the data folder, so that build/app/renvolia opens the guide of the
# source tree.
cmake_path(ABSOLUTE_PATH RENVOLIA_DATA_FROM_PROGRAM BASE_DIRECTORY "${CMAKE_BINARY_DIR}/app"
  NORMALIZE OUTPUT_VARIABLE renvolia_build_data)
cmake_path(IS_PREFIX CMAKE_BINARY_DIR "${renvolia_build_data}" renvolia_data_in_build)
if(UNIX AND renvolia_data_in_build AND NOT EXISTS "${renvolia_build_data}")
  cmake_path(GET renvolia_build_data PARENT_PATH renvolia_build_data_parent)
  file(MAKE_DIRECTORY "${renvolia_build_data_parent}")
  file(CREATE_LINK "${CMAKE_SOURCE_DIR}/docs" "${renvolia_build_data}" SYMBOLIC)
endif()
