# Installs the module (component python) into a fresh prefix and imports it
# from there with only that prefix's package folder on the path, as a user
# does after cmake --install. Run by ctest as the test python_install.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} --component python
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cmake --install into ${PREFIX} failed")
endif()
string(CONCAT check "import pathlib, quorra\n"
       "module = pathlib.Path(quorra.__file__)\n"
       "assert module.parent == pathlib.Path('${PREFIX}/${PACKAGES}'), module\n"
       "assert module.with_name('quorra.pyi').is_file()\n"
       "print(quorra.simulate()[1].max())\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${PREFIX}/${PACKAGES} ${PYTHON} -c "${check}"
                WORKING_DIRECTORY ${PREFIX} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the installed module could not be imported from ${PREFIX}/${PACKAGES}")
endif()
file(REMOVE_RECURSE ${PREFIX})
