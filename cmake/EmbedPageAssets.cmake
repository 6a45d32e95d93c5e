# Writes the page's scripts, styles and body as string constants of a C++
# source, so that the program carries them: run as
#   cmake -DOUTPUT=pageAssets.cpp -DSOURCE_DIR=... -P EmbedPageAssets.cmake
set(assets
  kChartScript third_party/uplot/uPlot.iife.min.js
  kChartStyle  third_party/uplot/uPlot.min.css
  kPageScript  web/page.js
  kPageStyle   web/page.css
  kPageBody    web/body.html)
set(text "// Made by cmake/EmbedPageAssets.cmake from the files it names; do not edit.\n")
string(APPEND text "#include \"html/pageAssets.h\"\n\nnamespace zolt {\n\n")
list(LENGTH assets count)
math(EXPR last "${count} - 1")
foreach(at RANGE 0 ${last} 2)
  math(EXPR next "${at} + 1")
  list(GET assets ${at} name)
  list(GET assets ${next} file)
  file(READ "${SOURCE_DIR}/${file}" content)
  string(FIND "${content}" ")zolt\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${file} holds the raw string's closing sequence")
  endif()
  # A raw string literal of a compiler's limit at most: long assets are
  # split into pieces joined at compile time.
  string(LENGTH "${content}" length)
  set(pieces "")
  set(offset 0)
  while(offset LESS length)
    string(SUBSTRING "${content}" ${offset} 16000 piece)
    string(APPEND pieces "R\"zolt(${piece})zolt\"\n")
    math(EXPR offset "${offset} + 16000")
  endwhile()
  string(APPEND text "// ${file}\nconst std::string_view ${name} =\n${pieces};\n\n")
endforeach()
string(APPEND text "}  // namespace zolt\n")
file(WRITE "${OUTPUT}.new" "${text}")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
