# What cmake --install puts in the prefix, by component:
#   runtime (the program)
#     bin/quillmere-import                 the command-line host
#     lib/quillmere/lib<library>.so.0...   the module and the host libraries
#     lib/quillmere/plugins/libqm_<name>.so  the plug-ins (plugins/CMakeLists.txt)
#     share/man/man1, share/bash-completion  its manual page and completion
#   dev (the SDK)
#     lib/quillmere/lib<library>.so        the names plug-ins and hosts link by
#     include/quillmere/<library>/*.h      the exported headers
#     lib/cmake/Quillmere/                 find_package(Quillmere): Quillmere:: targets
#     lib/pkgconfig/quillmere*.pc          pkg-config: one file per library, and
#                                          quillmere.pc for plug-ins
# (lib and include as GNUInstallDirs says.) The libraries are the program's
# own, in a folder of the project's, so that their generic names never
# meet another package's; the SDK's package files point there. The host
# library (runner/) is not part of the SDK: it is linked into
# quillmere-import and may change with any release. Inside this tree the same
# Quillmere:: names are aliases, and find_package(Quillmere) finds this build,
# so a plug-in's CMakeLists.txt reads the same in and out of the tree.
include(CMakePackageConfigHelpers)

# Library -> its exported header folder and the libraries its headers include.
set(QM_SDK_LIBRARIES platform gatehouse tillerhold cobbleyard schemaimport writers)
set(QM_SDK_HEADERS_platform ${PROJECT_SOURCE_DIR}/platform/include/platform)
set(QM_SDK_HEADERS_gatehouse ${PROJECT_SOURCE_DIR}/hostlibs/gatehouse/include/gatehouse)
set(QM_SDK_HEADERS_tillerhold ${PROJECT_SOURCE_DIR}/hostlibs/tillerhold/include/tillerhold)
set(QM_SDK_HEADERS_cobbleyard ${PROJECT_SOURCE_DIR}/hostlibs/cobbleyard/include/cobbleyard)
set(QM_SDK_HEADERS_schemaimport ${PROJECT_SOURCE_DIR}/module/include/schemaimport)
set(QM_SDK_HEADERS_writers ${PROJECT_SOURCE_DIR}/writers/include/writers)
set(QM_SDK_DESCRIPTION_platform "Quillmere platform services: Windows/MFC value types and services on Linux")
set(QM_SDK_DESCRIPTION_gatehouse "Quillmere host interface registry and host interfaces")
set(QM_SDK_DESCRIPTION_tillerhold "Quillmere model library: objects, properties, vocabulary, JSON")
set(QM_SDK_DESCRIPTION_cobbleyard "Quillmere scratch store on SQLite")
set(QM_SDK_DESCRIPTION_schemaimport "Quillmere schema-import module: bases for database plug-ins")
set(QM_SDK_DESCRIPTION_writers "Quillmere output formats: writers from the model")
set(QM_SDK_REQUIRES_platform "")
set(QM_SDK_REQUIRES_gatehouse platform)
set(QM_SDK_REQUIRES_tillerhold platform)
set(QM_SDK_REQUIRES_cobbleyard platform)
set(QM_SDK_REQUIRES_schemaimport platform gatehouse tillerhold cobbleyard)
set(QM_SDK_REQUIRES_writers platform tillerhold)

# Installed libraries find one another in their own folder. The build tree is
# laid out as an installation, so they are built with that run path: a build
# run path that the installation rewrites in place gets a trailing empty
# entry from CMake, and the loader reads an empty entry as the current
# folder, where a program run from the build tree would then look for its
# system libraries first.
set_target_properties(${QM_SDK_LIBRARIES} PROPERTIES INSTALL_RPATH "$ORIGIN" BUILD_WITH_INSTALL_RPATH TRUE)

# A sanitized build's flags go to whoever builds against its installation
# (see QM_SANITIZER_COMPILE_FLAGS); inside the tree they are global already.
if(QM_SANITIZER_COMPILE_FLAGS)
  target_compile_options(platform INTERFACE "$<INSTALL_INTERFACE:${QM_SANITIZER_COMPILE_FLAGS}>")
  target_link_options(platform INTERFACE "$<INSTALL_INTERFACE:${QM_SANITIZER_LINK_FLAGS}>")
endif()

install(TARGETS ${QM_SDK_LIBRARIES} EXPORT QuillmereTargets
  LIBRARY DESTINATION ${QM_INSTALL_PRIVATE_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev)
foreach(library IN LISTS QM_SDK_LIBRARIES)
  install(DIRECTORY ${QM_SDK_HEADERS_${library}} DESTINATION ${QM_INSTALL_INCLUDEDIR} COMPONENT dev
          FILES_MATCHING PATTERN "*.h")
endforeach()
# Generated beside the module's headers (module/CMakeLists.txt).
install(FILES ${PROJECT_BINARY_DIR}/module/include/schemaimport/SdkVersion.h
        DESTINATION ${QM_INSTALL_INCLUDEDIR}/schemaimport COMPONENT dev)

# find_package(Quillmere): the targets, the configuration and its version.
# Before 1.0 a minor version may change the plug-in interface, so only the
# same major.minor is compatible.
set(QM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quillmere)
install(EXPORT QuillmereTargets NAMESPACE Quillmere:: DESTINATION ${QM_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/QuillmereConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QuillmereConfig.cmake
  INSTALL_DESTINATION ${QM_CMAKE_DIR}
  PATH_VARS QM_INSTALL_PLUGINDIR QM_INSTALL_INCLUDEDIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuillmereConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuillmereConfig.cmake ${PROJECT_BINARY_DIR}/QuillmereConfigVersion.cmake
        DESTINATION ${QM_CMAKE_DIR} COMPONENT dev)

# Inside the tree find_package(Quillmere) finds this build: its targets are
# the aliases the libraries' folders define.
file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/quillmere-config.cmake
  "# Quillmere inside its own build: the Quillmere:: targets are aliases of the build's own.\n"
  "set(Quillmere_PLUGIN_DIR \"${CMAKE_LIBRARY_OUTPUT_DIRECTORY}/plugins\")\n")
write_basic_package_version_file(${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/quillmere-config-version.cmake
  COMPATIBILITY SameMinorVersion)

# pkg-config: one file per library, requiring what its headers include, so
# that a host takes the host libraries without the module it must load
# with dlopen; quillmere.pc is the set a plug-in builds against. The files
# find the prefix from their own place, so the installation stays relocatable.
set(QM_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH QM_PC_TO_PREFIX ${CMAKE_INSTALL_PREFIX}/${QM_PKGCONFIG_DIR} ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" QM_PC_TO_PREFIX "${QM_PC_TO_PREFIX}")
foreach(library IN LISTS QM_SDK_LIBRARIES)
  set(QM_PC_LIBRARY ${library})
  set(QM_PC_DESCRIPTION "${QM_SDK_DESCRIPTION_${library}}")
  set(QM_PC_REQUIRES)
  foreach(required IN LISTS QM_SDK_REQUIRES_${library})
    list(APPEND QM_PC_REQUIRES "quillmere-${required} = ${PROJECT_VERSION}")
  endforeach()
  list(JOIN QM_PC_REQUIRES ", " QM_PC_REQUIRES)
  set(QM_PC_CFLAGS)
  set(QM_PC_LIBS)
  if(library STREQUAL "platform")
    foreach(flag IN LISTS QM_SANITIZER_COMPILE_FLAGS)
      string(APPEND QM_PC_CFLAGS " ${flag}")
    endforeach()
    foreach(flag IN LISTS QM_SANITIZER_LINK_FLAGS)
      string(APPEND QM_PC_LIBS " ${flag}")
    endforeach()
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/quillmere-library.pc.in
                 ${PROJECT_BINARY_DIR}/pkgconfig/quillmere-${library}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/quillmere-${library}.pc DESTINATION ${QM_PKGCONFIG_DIR}
          COMPONENT dev)
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/quillmere.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/quillmere.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/quillmere.pc DESTINATION ${QM_PKGCONFIG_DIR} COMPONENT dev)
