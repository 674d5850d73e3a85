#include "cli/BackgroundWriter.h"

CBackgroundWriter::CBackgroundWriter(std::FILE* output) : out(output), thread([this] { Run(); }) {}

CBackgroundWriter::~CBackgroundWriter()
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
    Flush();
}

void CBackgroundWriter::Write(std::string_view text)
{
    std::lock_guard lock(mutex);
    pending += text;
}

void CBackgroundWriter::Flush()
{
    std::lock_guard order(writing);
    std::string text;
    {
        std::lock_guard lock(mutex);
        text.swap(pending);
    }
    if (text.empty()) return;
    (void)std::fwrite(text.data(), 1, text.size(), out);
    (void)std::fflush(out);
}

void CBackgroundWriter::Run()
{
    std::unique_lock lock(mutex);
    while (!stopping) {
        wake.wait_for(lock, kInterval, [this] { return stopping; });
        lock.unlock();
        Flush();
        lock.lock();
    }
}
