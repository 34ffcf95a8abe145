// Blocks of a transfer going round between the thread that reads them from the network and the one that
// writes them: a few buffers, filled by one side and emptied by the other, so that reading and writing
// overlap while neither runs far ahead. Shared by both sides: the reader may outlive the writer's
// interest (a transfer given up), and then it stops at the next buffer it asks for.
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
    explicit CBlockPipe(std::size_t blocks = 4, std::size_t blockSize = 64 * 1024);

    // Reader: an empty buffer, waiting while all are full; false once the writer has stopped.
    bool TakeEmpty(std::vector<char>& buffer);
    void PutFull(std::vector<char> buffer, DWORD used);

    // Writer: hands every full block to sink in order and gives its buffer back; false once sink said no.
    bool Drain(const std::function<bool(const char* data, DWORD size)>& sink);
    // Signalled when a block is waiting.
    HANDLE Filled() const { return m_filled.Get(); }
    // No more blocks are wanted.
    void Stop();

  private:
    std::mutex m_lock;
    std::vector<std::vector<char>> m_empty;
    std::deque<std::pair<std::vector<char>, DWORD>> m_full;
    bool m_stopped = false;
    CHandle m_filled;
    CHandle m_emptied;
};
