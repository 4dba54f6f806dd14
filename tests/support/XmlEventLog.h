#pragma once

#include <string>
#include <string_view>

#include "import/XmlReader.h"

namespace vantrel {

/// Writes every event of an XML reader down, to compare two readers. Character data is joined
/// between element events: how a parser cuts text into pieces is its own affair.
class XmlEventLog : public XmlEventHandler {
  public:
    /// `someText`: take character data only inside elements whose name has an even length, as
    /// the readers turn it on and off; otherwise always.
    explicit XmlEventLog(bool someText = false) : m_someText(someText) {}

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

}  // namespace vantrel
