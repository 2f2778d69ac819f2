# Builds VELKO's release packages from a build folder. The msi and dist targets run
# it; it can also package another version or into another folder:
#   cmake -DCONFIG=<build>/packaging/package-config.cmake -DACTION=msi|dist
#         [-DVERSION=<x.y.z>] [-DOUT=<folder>] -P package.cmake
# msi  writes <OUT>/VELKO-<version>-<arch>.msi and its bill of materials (SPDX 2.3)
#      <OUT>/VELKO-<version>-<arch>.msi.spdx.json, and the merge module
#      <OUT>/VELKO-<version>-<arch>.msm with <OUT>/VELKO-<version>-<arch>.msm.spdx.json;
# dist writes <OUT>/VELKO-<version>-<arch>.zip, with the merge module and its own
#      bill of materials inside, and <OUT>/SHA256SUMS of the five.
# Both take the files from <OUT>/VELKO-<version>-<arch>/, the archive's contents,
# where the DLLs are signed when VELKO_SIGN_PFX and VELKO_SIGN_PASSWORD are set.
# Unsigned, the same commit gives the same bytes: every time the packages hold is
# SOURCE_DATE_EPOCH as configured, or the commit's time when it is not set.
cmake_minimum_required(VERSION 3.25)
include(${CONFIG})
set(name VELKO-${VERSION}-${ARCH})
set(stage ${OUT}/${name})
set(stamp ${stage}.inputs)
set(signing OFF)
set(tools ${CMAKE_CURRENT_LIST_DIR})
set(epoch ${SOURCE_DATE_EPOCH})
if(NOT "$ENV{VELKO_SIGN_PFX}" STREQUAL "" AND DEFINED ENV{VELKO_SIGN_PASSWORD})
  set(signing ON)
endif()

# Authenticode signature in place, with a timestamp only when a server is named.
function(sign file)
  if(NOT signing)
    return()
  endif()
  set(pass ${OUT}/.sign-password)
  file(WRITE ${pass} "")
  file(CHMOD ${pass} PERMISSIONS OWNER_READ OWNER_WRITE)
  file(WRITE ${pass} "$ENV{VELKO_SIGN_PASSWORD}")
  set(timestamp)
  if(NOT "$ENV{VELKO_SIGN_TIMESTAMP}" STREQUAL "")
    set(timestamp -ts $ENV{VELKO_SIGN_TIMESTAMP})
  endif()
  execute_process(COMMAND osslsigncode sign -pkcs12 $ENV{VELKO_SIGN_PFX} -readpass ${pass} -h sha256
                          -n VELKO ${timestamp} -in ${file} -out ${file}.signed
                  RESULT_VARIABLE failed)
  file(REMOVE ${pass})
  if(failed)
    message(FATAL_ERROR "signing ${file} failed")
  endif()
  file(RENAME ${file}.signed ${file})
endfunction()

# sbom(<out> <package file name> [--checksum-of <package>] <file>=<name in the package>...)
# The package's bill of materials: VELKO's files and the runtimes linked into VELKO.dll.
function(sbom out package)
  execute_process(COMMAND ${PYTHON} ${tools}/sbom.py --out ${out} --package ${package} --version ${VERSION}
                          --epoch ${epoch} --link-map ${LINK_MAP} --license ${SOURCE_DIR}/LICENSE ${ARGN}
                  RESULT_VARIABLE failed)
  if(failed)
    file(REMOVE ${out})  # so that the next build tries again
    message(FATAL_ERROR "could not write the bill of materials ${out}")
  endif()
endfunction()

# What the archive holds, as <file>|<folder in it>, found now: every language
# library that bin/ holds goes in.
file(GLOB binaries ${BUILD_DIR}/bin/VELKO.dll ${BUILD_DIR}/bin/VELKORes*.DLL)
file(GLOB headers ${BUILD_DIR}/include/*)
file(GLOB_RECURSE examples RELATIVE ${SOURCE_DIR}/examples ${SOURCE_DIR}/examples/*.cpp
     ${SOURCE_DIR}/examples/*.vbs ${SOURCE_DIR}/examples/*.js)
set(contents ${BUILD_DIR}/bin/VELKO.manifest|bin ${BUILD_DIR}/examples/velko_host.exe.manifest|examples/regfree)
foreach(f IN LISTS binaries)
  list(APPEND contents ${f}|bin)
endforeach()
foreach(f IN LISTS headers)
  list(APPEND contents ${f}|include)
endforeach()
foreach(f IN LISTS examples)
  get_filename_component(dir ${f} DIRECTORY)
  list(APPEND contents ${SOURCE_DIR}/examples/${f}|examples/${dir})
endforeach()
foreach(f README.md LICENSE CHANGELOG.md THIRD-PARTY-NOTICES.txt)
  list(APPEND contents ${SOURCE_DIR}/${f}|.)
endforeach()

# Stage again only when an input, the list of inputs, signing or the time changed.
set(inputs "${contents};signing=${signing};epoch=${epoch}")
set(fresh OFF)
if(EXISTS ${stamp})
  file(READ ${stamp} previous)
  set(fresh ON)
  if(NOT previous STREQUAL inputs)
    set(fresh OFF)
  endif()
  foreach(entry IN LISTS contents ITEMS ${CMAKE_CURRENT_LIST_FILE} ${CONFIG} ${SOURCE_DIR}/packaging/VELKO.wxs
        ${SOURCE_DIR}/packaging/interface.wxi ${tools}/sbom.py ${tools}/reproducible.py ${tools}/msm.py
        ${LINK_MAP})
    string(REGEX REPLACE "\\|.*" "" f ${entry})
    if(${f} IS_NEWER_THAN ${stamp})
      set(fresh OFF)
    endif()
  endforeach()
endif()
if(NOT fresh)
  file(REMOVE_RECURSE ${stage})
  foreach(entry IN LISTS contents)
    string(REPLACE "|" ";" entry ${entry})
    list(GET entry 0 f)
    list(GET entry 1 dir)
    if(NOT EXISTS ${f})
      message(FATAL_ERROR "${f} is not built")
    endif()
    file(COPY ${f} DESTINATION ${stage}/${dir})
  endforeach()
  file(GLOB staged_binaries ${stage}/bin/*.dll ${stage}/bin/*.DLL)
  foreach(f IN LISTS staged_binaries)
    sign(${f})
  endforeach()
  # The installer's cabinet keeps each file's time.
  execute_process(COMMAND find ${stage} -exec touch -h -d @${epoch} {} + COMMAND_ERROR_IS_FATAL ANY)
  file(WRITE ${stamp} "${inputs}")
endif()

if(ACTION STREQUAL "msi")
  set(msi ${OUT}/${name}.msi)
  set(msi_sbom ${OUT}/${name}.msi.spdx.json)
  set(msm ${OUT}/${name}.msm)
  set(msm_sbom ${OUT}/${name}.msm.spdx.json)
  if(NOT EXISTS ${msi} OR NOT EXISTS ${msi_sbom} OR NOT EXISTS ${msm} OR NOT EXISTS ${msm_sbom}
     OR ${stamp} IS_NEWER_THAN ${msi} OR ${stamp} IS_NEWER_THAN ${msm})
    # The language libraries' components, each with a GUID that stays with its file name.
    file(GLOB libraries RELATIVE ${stage}/bin ${stage}/bin/VELKORes*.DLL)
    set(wix ${OUT}/wix-${ARCH})
    set(components "<Include>\n")
    set(refs "<Include>\n")
    foreach(lib IN LISTS libraries)
      string(UUID guid NAMESPACE ${UPGRADE_CODE} NAME ${lib} TYPE SHA1 UPPER)
      string(APPEND components "  <Component Id=\"${lib}$(var.Suffix)\" Guid=\"${guid}\" Win64=\"$(var.Win64)\">\n"
             "    <File Id=\"${lib}$(var.Suffix)\" Name=\"${lib}\" Source=\"$(var.Bin)/${lib}\" KeyPath=\"yes\"/>\n"
             "  </Component>\n")
      string(APPEND refs "  <ComponentRef Id=\"${lib}$(var.Suffix)\"/>\n")
    endforeach()
    file(WRITE ${wix}/languages.wxi "${components}</Include>\n")
    file(WRITE ${wix}/language_refs.wxi "${refs}</Include>\n")

    # One product code per version: installing the same version again repairs it,
    # a higher one replaces it (MajorUpgrade).
    string(UUID product_code NAMESPACE ${UPGRADE_CODE} NAME "VELKO ${VERSION}" TYPE SHA1 UPPER)
    string(UUID server_guid NAMESPACE ${UPGRADE_CODE} NAME VELKO.dll TYPE SHA1 UPPER)
    string(UUID manifest_guid NAMESPACE ${UPGRADE_CODE} NAME VELKO.manifest TYPE SHA1 UPPER)
    string(UUID interface64_guid NAMESPACE ${UPGRADE_CODE} NAME Interface64 TYPE SHA1 UPPER)
    string(UUID notices_guid NAMESPACE ${UPGRADE_CODE} NAME THIRD-PARTY-NOTICES.txt TYPE SHA1 UPPER)
    # The module's identity stays across versions: its keys, and so a product's
    # merged tables, keep their names from one version of the module to the next.
    string(UUID module_guid NAMESPACE ${UPGRADE_CODE} NAME "VELKO merge module" TYPE SHA1 UPPER)
    string(REPLACE "-" "_" module_suffix ".${module_guid}")
    if(ARCH STREQUAL "x64")
      set(arch_vars -D Win64=yes -D ProgramFiles=ProgramFiles64Folder -D Platform=win64)
    else()
      set(arch_vars -D Win64=no -D ProgramFiles=ProgramFilesFolder -D Platform=win32)
    endif()
    # wixl(<out> <key suffix>): VELKO.wxs as an installer, its keys ending in the suffix.
    function(wixl out suffix)
      execute_process(  # the cabinet's file times are local times
        COMMAND ${CMAKE_COMMAND} -E env TZ=UTC wixl -a ${ARCH} -I ${wix} -I ${SOURCE_DIR}/packaging -o ${out} ${arch_vars}
                -D Arch=${ARCH} -D Version=${VERSION} -D Suffix=${suffix}
                -D ProductCode=${product_code} -D UpgradeCode=${UPGRADE_CODE} -D ServerGuid=${server_guid}
                -D ManifestGuid=${manifest_guid} -D Interface64Guid=${interface64_guid} -D NoticesGuid=${notices_guid} -D Clsid=${CLSID} -D Iid=${IID} -D Libid=${LIBID}
                -D Bin=bin ${SOURCE_DIR}/packaging/VELKO.wxs
        WORKING_DIRECTORY ${stage} RESULT_VARIABLE failed)  # wixl takes relative sources only
      if(failed)
        file(REMOVE ${out})
        message(FATAL_ERROR "wixl could not build ${out}")
      endif()
    endfunction()
    wixl(${msi} "")
    execute_process(COMMAND ${PYTHON} ${tools}/reproducible.py msi ${msi} ${epoch} ${UPGRADE_CODE} RESULT_VARIABLE failed)
    if(failed)
      file(REMOVE ${msi})
      message(FATAL_ERROR "could not fix the summary information of ${msi}")
    endif()
    sign(${msi})
    # The merge module: the same source with the module's keys, taken apart and put
    # together as a module.
    set(product ${wix}/module-product.msi)
    wixl(${product} ${module_suffix})
    file(REMOVE ${msm})
    execute_process(COMMAND ${PYTHON} ${tools}/msm.py ${product} ${msm} ${module_guid} ${VERSION} ${ARCH}
                    COMMAND_ECHO NONE RESULT_VARIABLE failed)
    if(NOT failed)
      execute_process(COMMAND ${PYTHON} ${tools}/reproducible.py msm ${msm} ${epoch} RESULT_VARIABLE failed)
    endif()
    if(failed)
      file(REMOVE ${msm})
      message(FATAL_ERROR "could not build the merge module ${msm}")
    endif()
    # What the installer and the module put on the machine.
    file(GLOB installed ${stage}/bin/* ${stage}/THIRD-PARTY-NOTICES.txt)
    set(files)
    foreach(f IN LISTS installed)
      get_filename_component(installed_name ${f} NAME)
      list(APPEND files ${f}=${installed_name})
    endforeach()
    sbom(${msi_sbom} ${name}.msi --checksum-of ${msi} ${files})
    sbom(${msm_sbom} ${name}.msm --checksum-of ${msm} ${files})
    message(STATUS "installer: ${msi}; merge module: ${msm}")
  endif()
elseif(ACTION STREQUAL "dist")
  set(zip ${OUT}/${name}.zip)
  if(NOT EXISTS ${zip} OR ${stamp} IS_NEWER_THAN ${zip} OR ${OUT}/${name}.msm IS_NEWER_THAN ${zip})
    set(sbom_file ${stage}/${name}.spdx.json)
    file(REMOVE ${sbom_file})
    # The merge module goes in too, for the teams that build their own installer.
    file(COPY ${OUT}/${name}.msm DESTINATION ${stage}/msm)
    execute_process(COMMAND touch -h -d @${epoch} ${stage}/msm ${stage}/msm/${name}.msm COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB_RECURSE archived RELATIVE ${stage} ${stage}/*)
    list(TRANSFORM archived REPLACE "^(.+)$" "${stage}/\\1=\\1")
    sbom(${sbom_file} ${name}.zip ${archived})
    execute_process(COMMAND ${PYTHON} ${tools}/reproducible.py zip ${zip} ${stage} ${epoch} RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "could not write ${zip}")
    endif()
    message(STATUS "archive: ${zip}")
  endif()
  file(GLOB packages RELATIVE ${OUT} ${OUT}/${name}.msi ${OUT}/${name}.msi.spdx.json ${OUT}/${name}.msm
       ${OUT}/${name}.msm.spdx.json ${OUT}/${name}.zip)
  set(sums "")
  foreach(p IN LISTS packages)
    file(SHA256 ${OUT}/${p} hash)
    string(APPEND sums "${hash}  ${p}\n")
  endforeach()
  file(WRITE ${OUT}/SHA256SUMS "${sums}")
else()
  message(FATAL_ERROR "ACTION is msi or dist, not '${ACTION}'")
endif()
