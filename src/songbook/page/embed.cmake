# Writes OUTPUT, a C++ file holding the page's CSS and JS files as strings
# (kBookCss, kBookScript; declared in songbook/book_html.cpp).
file(READ ${CSS} css)
file(READ ${JS} js)
foreach(text IN ITEMS "${css}" "${js}")
  string(FIND "${text}" ")page\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "the page's files may not hold the characters )page\"")
  endif()
endforeach()
file(WRITE ${OUTPUT} "// Made by page/embed.cmake from book.css and book.js.\n"
  "namespace kdb2mid {\n"
  "extern const char* const kBookCss;\nextern const char* const kBookScript;\n"
  "const char* const kBookCss = R\"page(${css})page\";\n"
  "const char* const kBookScript = R\"page(${js})page\";\n"
  "}  // namespace kdb2mid\n")
