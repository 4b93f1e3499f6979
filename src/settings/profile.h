#pragma once
// Where settings persist: integer and text values by name in the profile's
// section "Settings". The plug-in's store is the registry; tests and the
// command-line tools use MemoryProfile.
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

class Profile {
public:
    virtual ~Profile() = default;
    // A missing, unreadable or wrong-type value reads as the default.
    virtual int readInt(std::string_view name, int defaultValue) const = 0;
    virtual void writeInt(std::string_view name, int value) = 0;
    // Text is UTF-16, as the platform stores it.
    virtual std::u16string readText(std::string_view name, std::u16string_view defaultValue) const = 0;
    virtual void writeText(std::string_view name, std::u16string_view value) = 0;
};

class MemoryProfile : public Profile {
public:
    int readInt(std::string_view name, int defaultValue) const override {
        auto it = ints_.find(std::string(name));
        return it == ints_.end() ? defaultValue : it->second;
    }
    void writeInt(std::string_view name, int value) override { ints_[std::string(name)] = value; }
    std::u16string readText(std::string_view name, std::u16string_view defaultValue) const override {
        auto it = texts_.find(std::string(name));
        return it == texts_.end() ? std::u16string(defaultValue) : it->second;
    }
    void writeText(std::string_view name, std::u16string_view value) override {
        texts_[std::string(name)] = std::u16string(value);
    }

    std::optional<int> storedInt(std::string_view name) const {
        auto it = ints_.find(std::string(name));
        return it == ints_.end() ? std::nullopt : std::optional<int>(it->second);
    }
    std::optional<std::u16string> storedText(std::string_view name) const {
        auto it = texts_.find(std::string(name));
        return it == texts_.end() ? std::nullopt : std::optional<std::u16string>(it->second);
    }

private:
    std::map<std::string, int> ints_;
    std::map<std::string, std::u16string> texts_;
};

}  // namespace vantrel
