// How long a read or write still needs, from the progress it has made so far.
// Pure functions: no clock, no I/O; the callers give the elapsed time.
#pragma once

#include <string>

struct TimeLeft {
    bool known = false; // false until enough of the job is done to judge
    double seconds = 0; // estimated seconds still to go
};

// The job covers positions lower..upper and has reached pos after elapsed
// seconds. The estimate is the positions still to come at the rate observed
// so far; it is given once a deck's worth of positions (24, or a quarter of a
// smaller job) is done and the job is not finished.
TimeLeft EstimateTimeLeft(int lower, int upper, int pos, double elapsedSeconds);

// "about 12 minutes left", "about 1 minute left", "about 40 seconds left",
// "less than 10 seconds left"; above an hour "about 2 hours 5 minutes left".
std::string TimeLeftText(double seconds);

// The elapsed time as "elapsed 4:05" (minutes and seconds) or
// "elapsed 1:02:03" from an hour on.
std::string ElapsedText(double seconds);

// The line the progress displays show under the designed texts: the elapsed
// time, and the estimate once there is one ("elapsed 2:10, about 5 minutes left").
std::string ProgressTimeText(int lower, int upper, int pos, double elapsedSeconds);
