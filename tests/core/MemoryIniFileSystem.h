#pragma once
// An in-memory file system for the INI accessor that records every access,
// keeps the text after each write and can refuse a chosen write.

#include "accounting/IniFileSystem.h"

#include <map>
#include <string>
#include <vector>

class MemoryIniFileSystem : public IniFileSystem {
public:
    std::map<std::string, std::string> files;
    std::vector<std::string> accesses;  // "read" or "write", in order
    std::vector<std::string> snapshots; // the file after each successful write
    int failingWrite = -1;              // 0-based number of the write to refuse

    std::unique_ptr<ini::Source> openRead(const std::string& path) override {
        accesses.emplace_back("read");
        const auto it = files.find(path);
        if (it == files.end())
            return nullptr;
        return std::make_unique<OwnedSource>(it->second);
    }

    bool replace(const std::string& path, const Producer& produce) override {
        accesses.emplace_back("write");
        if (m_writes++ == failingWrite)
            return false;
        const auto it = files.find(path);
        std::unique_ptr<OwnedSource> old;
        if (it != files.end())
            old = std::make_unique<OwnedSource>(it->second);
        ini::StringSink sink;
        if (!produce(old.get(), sink))
            return false;
        files[path] = sink.text();
        snapshots.emplace_back(sink.text());
        return true;
    }

private:
    struct OwnedSource : ini::Source {
        explicit OwnedSource(std::string text) : data(std::move(text)), source(data) {}
        std::ptrdiff_t read(char* buffer, std::size_t size) override {
            return source.read(buffer, size);
        }
        bool rewind() override { return source.rewind(); }
        std::string data;
        ini::StringSource source;
    };
    int m_writes = 0;
};
