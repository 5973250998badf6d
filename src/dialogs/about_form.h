#pragma once
// The about box: "Vexilo Version " and the version label of the program's own file.

#include <QDialog>
#include <memory>
#include <string>

class QLabel;

namespace vexilo {

class TVerInfoRes;

class Tabout_form : public QDialog {
    Q_OBJECT
  public:
    // Reads the version of the running program once, here.
    explicit Tabout_form(QWidget* parent = nullptr);
    ~Tabout_form() override;

    // Modal.
    void show_about();

    QLabel* about_text;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::unique_ptr<TVerInfoRes> version_info_;
    std::string version_error_;
};

}  // namespace vexilo
