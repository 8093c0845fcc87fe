#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Writes PNG files on a thread of its own, so that rendering the next frame overlaps encoding
// this one. The queue is bounded: a producer faster than the encoder waits, and memory stays at
// a few frames. Files are made the fast way (see glpngwrite.h).
class CFrameEncoder {
public:
    CFrameEncoder(std::size_t nCapacity, int nCompressionLevel);
    ~CFrameEncoder();
    CFrameEncoder(const CFrameEncoder&) = delete;
    CFrameEncoder& operator=(const CFrameEncoder&) = delete;

    // Queues an RGBA image for strPath, waiting while the queue is full. False (and nothing
    // queued) once a file has failed: there is no point in rendering more.
    bool push(std::string strPath, std::vector<unsigned char> rgba, int nWidth, int nHeight);
    // Writes what is queued and stops the thread; false with the first failure's reason.
    bool finish(std::string& strError);

private:
    struct SJob {
        std::string strPath;
        std::vector<unsigned char> rgba;
        int nWidth;
        int nHeight;
    };

    void _run();

    const std::size_t m_nCapacity;
    const int m_nLevel;
    std::mutex m_mutex;
    std::condition_variable m_cvChanged;
    std::deque<SJob> m_aJobs;
    bool m_bClosing = false;
    std::string m_strError;
    std::thread m_thread;
};
