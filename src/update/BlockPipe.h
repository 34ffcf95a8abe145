// Blocks of a transfer going round between the thread that reads them from the network and the one that
// writes them: a few buffers, filled by one side and emptied by the other, so that reading and writing
// overlap while neither runs far ahead. A fast transfer costs few wakes: the writer is woken once half the
// buffers wait for it (it looks by itself now and then too), the reader only when it waits for a buffer.
// The reader may outlive the writer's interest (a transfer given up), and then it stops at the next buffer
// it asks for.
#pragma once

#include "framework/Afx.h"
#include "framework/Handles.h"

#include <deque>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

class CBlockPipe {
  public:
    explicit CBlockPipe(std::size_t blocks = 8, std::size_t blockSize = 64 * 1024);

    // Reader: an empty buffer, waiting at most waitMs while all are full; false once the writer has
    // stopped, or when the wait ran out.
    bool TakeEmpty(std::vector<char>& buffer, DWORD waitMs);
    // Reader: a filled buffer for the writer.
    void PutFull(std::vector<char> buffer, DWORD used);
    // Reader: news of another kind for the writer (the end, an answer).
    void WakeWriter();

    // Writer: hands every full block to sink in order and gives its buffer back; false once sink said no.
    using Sink = std::function<bool(const char* data, DWORD size)>;
    bool Drain(const Sink& sink);
    // Signalled when a block or news waits for the writer.
    HANDLE Ready() const { return m_ready.Get(); }
    // No more blocks are wanted: a reader waiting for a buffer gives up.
    void Stop();

  private:
    std::mutex m_lock;
    // Made as the reader first asks for them: a short body needs one.
    std::size_t m_unmade;
    std::size_t m_wakeAt; // blocks waiting that wake the writer
    std::size_t m_blockSize;
    std::vector<std::vector<char>> m_empty;
    std::deque<std::pair<std::vector<char>, DWORD>> m_full;
    bool m_stopped = false;
    bool m_readerWaits = false;
    CHandle m_ready;   // for the writer
    CHandle m_emptied; // for a reader waiting for a buffer
};
