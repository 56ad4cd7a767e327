# Makes the user guide's HTML page from its Markdown source with cmark.
# cmake -DCMARK=... -DSOURCE=docs/guide.md -DOUTPUT=guide.html -DVERSION=1.0.0 -P make_guide.cmake
execute_process(COMMAND ${CMARK} --smart ${SOURCE} OUTPUT_VARIABLE body RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmark could not convert ${SOURCE}")
endif()
# Each section (h2) gets an anchor named after its words ("The main window"
# is #the-main-window), as id and as a named anchor for Qt's text browser,
# and a contents list of links to them follows the title. A ';' would split
# CMake's lists, so it is held as a placeholder meanwhile.
string(REPLACE ";" "@SEMICOLON@" body "${body}")
string(REGEX MATCHALL "<h2>[^<]*</h2>" headings "${body}")
set(contents "")
foreach(heading IN LISTS headings)
  string(REGEX REPLACE "^<h2>(.*)</h2>$" "\\1" text "${heading}")
  string(REPLACE "@SEMICOLON@" ";" shown "${text}")
  string(TOLOWER "${shown}" slug)
  string(REGEX REPLACE "&[a-z]+;" " " slug "${slug}")
  string(REGEX REPLACE "[^a-z0-9]+" "-" slug "${slug}")
  string(REGEX REPLACE "^-+" "" slug "${slug}")
  string(REGEX REPLACE "-+$" "" slug "${slug}")
  string(REPLACE "${heading}" "<h2 id=\"${slug}\"><a name=\"${slug}\"></a>${text}</h2>" body "${body}")
  string(APPEND contents "<li><a href=\"#${slug}\">${text}</a></li>\n")
endforeach()
if(NOT contents STREQUAL "")
  string(REGEX REPLACE "</h1>\n" "</h1>\n<p><strong>Contents</strong></p>\n<ul>\n${contents}</ul>\n" body "${body}")
endif()
string(REPLACE "@SEMICOLON@" ";" body "${body}")
file(WRITE ${OUTPUT} "<!DOCTYPE html>
<html lang=\"en\">
<head>
<meta charset=\"utf-8\">
<title>Orvalis ${VERSION}: user guide</title>
<style>
body { font-family: sans-serif; max-width: 50em; margin: 2em auto; padding: 0 1em; line-height: 1.45; }
code, pre { font-family: monospace; background: #f3f3f3; }
pre { padding: 0.5em; overflow-x: auto; }
table { border-collapse: collapse; }
td, th { border: 1px solid #ccc; padding: 0.2em 0.5em; }
</style>
</head>
<body>
${body}</body>
</html>
")
