#pragma once

// The libclamav library as a whole: its start-up and where its messages go.
// The library prints its errors to the terminal unless told otherwise; here
// they go to whoever collects them on the calling thread, and are dropped
// when nobody does.

#include <string>

// Routes the library's messages once per process; needed before any call
// that may complain (reading a database header, loading, scanning).
void RouteClamMessages();

// Starts the library once per process (and routes its messages). False with
// a reason in Polish when it cannot start.
bool InitClamLibrary(std::string& error);

// Collects the library's error messages on this thread while it lives.
struct CClamMessages {
    std::string text;
    CClamMessages();
    ~CClamMessages();
    CClamMessages(const CClamMessages&) = delete;
    CClamMessages& operator=(const CClamMessages&) = delete;
};
