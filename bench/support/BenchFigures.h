#pragma once

#include <string>
#include <vector>

// The machine's load average over the last minute, as /proc/loadavg gives it ("?" unreadable).
std::string LoadAverage();

// The middle value (the upper one of an even count); 0 for none.
double Median(std::vector<double> values);

// "what  median M, min A, max B (N runs)" on one line of standard output.
void PrintSpread(const char* what, const std::vector<double>& values, const char* unit);
