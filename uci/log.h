// The optional log file of protocol traffic and search summaries.
#pragma once

#include <string>

// Writes "%10.3f %s" (seconds since start-up, message) when a log is open; messages are cut at
// 255 characters.
void logPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Action of the "Log File" option.
void setLogFile(const std::string& name);

bool logIsOpen();
