#include "BlockPipe.h"

CBlockPipe::CBlockPipe(std::size_t blocks, std::size_t blockSize)
    : m_unmade(blocks), m_wakeAt(blocks > 1 ? blocks / 2 : 1), m_blockSize(blockSize),
      m_ready(::CreateEventA(nullptr, FALSE, FALSE, nullptr)),
      m_emptied(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

bool CBlockPipe::TakeEmpty(std::vector<char>& buffer, DWORD waitMs) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_stopped)
                return false;
            if (!m_empty.empty()) {
                m_readerWaits = false;
                buffer = std::move(m_empty.back());
                m_empty.pop_back();
                return true;
            }
            if (m_unmade > 0) {
                --m_unmade;
                buffer.assign(m_blockSize, '\0');
                return true;
            }
            m_readerWaits = true;
        }
        const ULONGLONG waited = ::GetTickCount64() - start;
        if (waited >= waitMs || !m_emptied)
            return false;
        ::WaitForSingleObject(m_emptied.Get(), static_cast<DWORD>(waitMs - waited));
    }
}

void CBlockPipe::PutFull(std::vector<char> buffer, DWORD used) {
    bool wake;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_full.emplace_back(std::move(buffer), used);
        // Once: a writer woken before comes back for the rest.
        wake = m_full.size() == m_wakeAt;
    }
    if (wake)
        ::SetEvent(m_ready.Get());
}

void CBlockPipe::WakeWriter() {
    ::SetEvent(m_ready.Get());
}

bool CBlockPipe::Drain(const Sink& sink) {
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
        bool wake;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_empty.push_back(std::move(block.first));
            wake = m_readerWaits;
            m_readerWaits = false;
        }
        if (wake)
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
