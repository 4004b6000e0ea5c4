#pragma once
// The settings dialog: polling interval, folder patterns, font and size with a sample drawn in
// the DOS character set, page orientation, the preview switch and the printer emulation.

#include "ParsControls.h"

#include <QDialog>
#include <QWidget>

#include <string>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace quillon {

// The sample line: DOS bytes drawn as the print draws them (CP852, the face, the cell of the
// size), in blue, centred.
class TFontSample : public QWidget {
public:
    explicit TFontSample(QWidget* parent) : QWidget(parent) {}
    void setBytes(std::string bytes) { m_bytes = std::move(bytes); update(); }
    const std::string& bytes() const { return m_bytes; }
    void setFace(const QString& face, int points);
    const QString& face() const { return m_face; }
    int points() const { return m_points; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::string m_bytes;
    QString m_face = QStringLiteral("Courier New");
    int m_points = 12;
};

class TParsForm : public QDialog {
    Q_OBJECT
public:
    // settings: the program's record, which "WRITE" changes; it outlives the dialog.
    explicit TParsForm(TSettings& settings, QWidget* parent = nullptr);

    // "READ": the controls from the record; "WRITE": the record from the controls; any other
    // word does nothing.
    void ReadWriteControls(const std::string& mode);

    QGroupBox* gbPollingFreq;
    QSlider* TrackBar;
    QLabel* Label2;
    QGroupBox* gbPeekPaths;
    QPlainTextEdit* mePaths;
    QGroupBox* gbFont;
    QFrame* Bevel1;
    TFontSample* lbFontShow;
    QComboBox* fcbFontNames;
    QComboBox* cbFontSizes;
    QGroupBox* gbPageOrient;
    QRadioButton* rbPortrait;
    QRadioButton* rbLandscape;
    QGroupBox* gbOtherParams;
    QCheckBox* cbPreviewOn;
    QGroupBox* gbEmulation;
    QComboBox* cbEmulation;
    QPushButton* bbHelp;
    QPushButton* bbAbout;
    QPushButton* btAnuluj;
    QPushButton* btOK;

    // OK: the folder patterns are checked first; lines that cannot be stored are refused with a
    // message, and the dialog stays open at the line at fault.
    void accept() override;

private:
    // The constructor's steps, top to bottom.
    void makeIntervalBox();
    void makePathsBox();
    void makeFontBox();
    void makeOptionBoxes();
    void makeButtons();
    void FormCreate();
    void TrackBarChange();
    void UpdateFontSample();
    ParsControls controls() const;
    void setControls(const ParsControls& c);

    TSettings& m_settings;
};

} // namespace quillon
