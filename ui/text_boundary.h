#pragma once

#include <QString>
#include <QValidator>
#include <string>

namespace vaxo::ui {

// The core keeps station texts as Windows-1250 bytes and file names as the
// file system's bytes; widgets show Unicode. These convert at the boundary.
QString FromStationText(const std::string& bytes);
std::string ToStationText(const QString& text);
// Whether every character of the text exists in Windows-1250.
bool FitsStationText(const QString& text);

QString FromFileName(const std::string& bytes);
std::string ToFileName(const QString& text);

// Refuses characters that Windows-1250 cannot hold; optionally turns
// letters into capitals as they are typed (PI).
class StationTextValidator : public QValidator {
  public:
    explicit StationTextValidator(bool capitals, QObject* parent = nullptr)
        : QValidator(parent), capitals_(capitals) {}
    State validate(QString& input, int& position) const override;

  private:
    bool capitals_;
};

}  // namespace vaxo::ui
