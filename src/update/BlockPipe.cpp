#include "BlockPipe.h"

CBlockPipe::CBlockPipe(std::size_t blocks, std::size_t blockSize)
    : m_empty(blocks, std::vector<char>(blockSize)), m_filled(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_emptied(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

bool CBlockPipe::TakeEmpty(std::vector<char>& buffer) {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_stopped)
                return false;
            if (!m_empty.empty()) {
                buffer = std::move(m_empty.back());
                m_empty.pop_back();
                return true;
            }
        }
        // The writer is behind; a stop comes with a buffer's worth of waiting at most.
        ::WaitForSingleObject(m_emptied.Get(), 100);
    }
}

void CBlockPipe::PutFull(std::vector<char> buffer, DWORD used) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_full.emplace_back(std::move(buffer), used);
    }
    ::SetEvent(m_filled.Get());
}

bool CBlockPipe::Drain(const std::function<bool(const char* data, DWORD size)>& sink) {
    for (;;) {
        std::pair<std::vector<char>, DWORD> block;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_full.empty())
                return true;
            block = std::move(m_full.front());
            m_full.pop_front();
        }
        const bool taken = sink(block.first.data(), block.second);
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_empty.push_back(std::move(block.first));
        }
        ::SetEvent(m_emptied.Get());
        if (!taken)
            return false;
    }
}

void CBlockPipe::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stopped = true;
    }
    ::SetEvent(m_emptied.Get());
}
