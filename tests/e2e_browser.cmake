# The status page and the screenshot page in headless Chromium against a running demo
# set-up (tests/browser/). Label "browser"; skipped (exit 77) where no browser is installed.
if(TARGET relaydeck AND TARGET clientsim AND TARGET Relaydeck_Link)
  find_package(Python3 COMPONENTS Interpreter)
  if(Python3_Interpreter_FOUND)
    add_test(NAME e2e_status_browser
      COMMAND ${Python3_EXECUTABLE} -u ${PROJECT_SOURCE_DIR}/tests/browser/test_status_page.py
              --bin $<TARGET_FILE_DIR:relaydeck> --shots ${CMAKE_BINARY_DIR}/browser-shots)
    set_tests_properties(e2e_status_browser PROPERTIES LABELS "browser;e2e" TIMEOUT 180 SKIP_RETURN_CODE 77
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;PYTHONDONTWRITEBYTECODE=1;RELAYDECK_DIRECTORY_URL=http://127.0.0.1:9/")
  endif()
endif()
