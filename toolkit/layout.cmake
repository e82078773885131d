# Lays out the application folder: one relative link per tool to the multi-call program, and
# "ffmpeg" as a second name of the folder "FFMpeg" (Parvela spells it both ways).
# Called with -DAPP_DIR=... -DPROGRAM=... -DLINKS=a/b.exe;c/d.exe

function(make_link target link)
  if(IS_SYMLINK ${link})
    file(READ_SYMLINK ${link} current)
    if(current STREQUAL target)
      return()
    endif()
    file(REMOVE ${link})
  elseif(EXISTS ${link})
    message(FATAL_ERROR "${link} exists and is not a link; remove it")
  endif()
  file(CREATE_LINK ${target} ${link} SYMBOLIC)
endfunction()

file(MAKE_DIRECTORY ${APP_DIR}/FFMpeg)
make_link(FFMpeg ${APP_DIR}/ffmpeg)

foreach(link IN LISTS LINKS)
  get_filename_component(folder ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${APP_DIR}/${folder})
  make_link(../${PROGRAM} ${APP_DIR}/${link})
endforeach()

# The subtitle font and the AVI muxer's script template (-DFONT=..., -DMUX_TEMPLATE=...).
if(FONT)
  make_link(${FONT} ${APP_DIR}/Mencoder/font.ttf)
endif()
if(MUX_TEMPLATE)
  file(MAKE_DIRECTORY ${APP_DIR}/avimux)
  file(COPY_FILE ${MUX_TEMPLATE} ${APP_DIR}/avimux/parvela.amg ONLY_IF_DIFFERENT)
endif()
