# The Python package zolt: the extension module over the library, and the
# package's own Python files beside it in build/python/zolt, so that the
# tests import it from there. Built against Debian's own Python, whose
# numpy, pandas and xarray come from Debian's packages: the first python3 on
# PATH may be another interpreter that cannot see them.
option(DECODE_PYTHON "Build the Python package zolt" ON)
if(NOT DECODE_PYTHON)
  return()
endif()
if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python_EXECUTABLE /usr/bin/python3)
endif()
find_package(Python 3.9 COMPONENTS Interpreter Development.Module)
set(PYBIND11_FINDPYTHON ON)
find_package(pybind11 2.6 CONFIG QUIET)
if(NOT Python_FOUND OR NOT pybind11_FOUND)
  message(WARNING "Python development files or pybind11 not found: the Python package is left out "
                  "(Debian: apt install python3-dev pybind11-dev)")
  set(DECODE_PYTHON OFF)
  return()
endif()

set(zoltPythonDir ${CMAKE_BINARY_DIR}/python/zolt)
# No link-time optimisation: the library is already optimised, and the
# linker would only say so.
pybind11_add_module(_zolt NO_EXTRAS src/python/zoltModule.cpp)
set_target_properties(_zolt PROPERTIES CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
target_link_libraries(_zolt PRIVATE zolt zolt_netcdf zolt_html decode_warnings)
# It reads tables and netCDF layouts as the library lays them out inside.
target_include_directories(_zolt PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_compile_definitions(_zolt PRIVATE ${fortify})
target_link_options(_zolt PRIVATE -Wl,-z,relro,-z,now)
set_target_properties(_zolt PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${zoltPythonDir})

file(GLOB zoltPythonFiles CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/python/zolt/*.py ${PROJECT_SOURCE_DIR}/python/zolt/*.pyi
     ${PROJECT_SOURCE_DIR}/python/zolt/py.typed)
foreach(file ${zoltPythonFiles})
  get_filename_component(name ${file} NAME)
  configure_file(${file} ${zoltPythonDir}/${name} COPYONLY)
endforeach()

# Debian's layout, and the metadata that lets importlib find the package's
# entry points (the xarray backend).
set(zoltPythonInstallDir lib/python3/dist-packages)
set(zoltDistInfo ${CMAKE_BINARY_DIR}/python/zolt-${PROJECT_VERSION}.dist-info)
file(WRITE ${zoltDistInfo}/METADATA "Metadata-Version: 2.1\nName: zolt\nVersion: ${PROJECT_VERSION}\n"
     "Summary: Record files of the ZOLT data logger as pandas, numpy and xarray\nLicense: MIT\n")
file(WRITE ${zoltDistInfo}/entry_points.txt "[xarray.backends]\nzolt = zolt.xarray_backend:ZoltBackendEntrypoint\n")
install(TARGETS _zolt LIBRARY DESTINATION ${zoltPythonInstallDir}/zolt COMPONENT python)
install(FILES ${zoltPythonFiles} DESTINATION ${zoltPythonInstallDir}/zolt COMPONENT python)
install(DIRECTORY ${zoltDistInfo} DESTINATION ${zoltPythonInstallDir} COMPONENT python)
install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/python3-zolt
        COMPONENT python)
math(EXPR pythonNextMinor "${Python_VERSION_MINOR} + 1")
