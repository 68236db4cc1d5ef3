#pragma once

// How a bus paces its line: one per link, and changeable while it runs.
struct BusTiming
{
    int networkTimeoutMs = 300;
    int serialMarginMs = 100;    // turnaround on top of the frames' time on the wire
    int replyTimeoutMs = 0;      // one wait for every reply, whatever the line; 0: from the line
    int guardGapMs = 30;         // after a frame that gets no reply, on top of its time on the wire
    int pauseAfterConnectMs = 0; // between the line coming up and its first frame
};
