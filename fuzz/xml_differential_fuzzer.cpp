// Runs the in-place XML reader and expat over the same bytes, in both namespace modes, and
// aborts when they differ: the in-place reader must either decline (expat then decides) or
// read exactly expat's events, and never read a document expat refuses.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "import/ExpatXmlReader.h"
#include "import/FastXmlReader.h"

namespace {

/// Writes every event down. Characters are joined between element events: how a parser cuts
/// text into pieces is its own affair.
class EventLog : public vantrel::XmlEventHandler {
  public:
    /// `someText`: take character data only inside elements whose name has an even length,
    /// the way the readers turn it on and off; otherwise always.
    explicit EventLog(bool someText) : m_someText(someText) {}

    void startElement(std::string_view name, const char** attributes) override {
        flushText();
        m_log += "<";
        m_log += name;
        for (; attributes[0]; attributes += 2) {
            m_log += " [";
            m_log += attributes[0];
            m_log += "]=[";
            m_log += attributes[1];
            m_log += "]";
        }
        m_log += ">\n";
        if (m_someText) wantCharacters(name.size() % 2 == 0);
    }
    void characters(std::string_view text) override { m_text += text; }
    void endElement(std::string_view name) override {
        flushText();
        m_log += "</";
        m_log += name;
        m_log += ">\n";
        if (m_someText) wantCharacters(name.size() % 2 == 1);
    }

    const std::string& log() {
        flushText();
        return m_log;
    }

  private:
    void flushText() {
        if (m_text.empty()) return;
        m_log += "text [" + m_text + "]\n";
        m_text.clear();
    }

    bool m_someText;
    std::string m_log;
    std::string m_text;
};

void compare(const std::uint8_t* data, std::size_t size, bool namespaces, bool someText) {
    EventLog fast(someText);
    bool read = vantrel::readXmlFast(data, size, namespaces, fast);
    EventLog expat(someText);
    auto error = vantrel::readXmlWithExpat(data, size, namespaces, expat);
    if (!read) {
        if (!fast.log().empty()) {
            std::fprintf(stderr, "declined after emitting events\n");
            std::abort();
        }
        return;
    }
    if (error) {
        std::fprintf(stderr, "in-place reader read what expat refuses: %s\n", error->c_str());
        std::abort();
    }
    if (fast.log() != expat.log()) {
        std::fprintf(stderr, "events differ (namespaces %d)\n--- in place\n%s--- expat\n%s",
                     namespaces, fast.log().c_str(), expat.log().c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (bool namespaces : {false, true}) {
        for (bool someText : {false, true}) compare(data, size, namespaces, someText);
    }
    return 0;
}
