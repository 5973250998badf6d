# vexilo_add_version_resource(TARGET DESCRIPTION)
# Gives a Windows program the version resource that the about box reads: the fixed file
# information (file and product version from the project's version), a StringFileInfo block
# for US English in the Windows-1252 code page, and the matching VarFileInfo translation.
set(VEXILO_VERSION_RC_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)

function(vexilo_add_version_resource target description)
  set(parts ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH}
      ${PROJECT_VERSION_TWEAK})
  list(LENGTH parts count)
  while(count LESS 4)
    list(APPEND parts 0)
    math(EXPR count "${count} + 1")
  endwhile()
  foreach(part IN LISTS parts)
    # Each part is one 16-bit word of the fixed file information.
    if(part GREATER 65535)
      message(FATAL_ERROR "Version ${PROJECT_VERSION}: a part above 65535 does not fit a version resource")
    endif()
  endforeach()
  list(JOIN parts "," VEXILO_RC_VERSION_COMMAS)
  list(JOIN parts "." VEXILO_RC_VERSION_TEXT)
  set(VEXILO_RC_DESCRIPTION "${description}")
  get_target_property(VEXILO_RC_NAME ${target} OUTPUT_NAME)
  if(NOT VEXILO_RC_NAME)
    set(VEXILO_RC_NAME ${target})
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${VEXILO_VERSION_RC_TEMPLATE} ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
