#include "pages/quorlin_ai_dialog_controller.h"

#include "pages/page_check_boxes.h"

quorlin_ai_dialog_controller::quorlin_ai_dialog_controller(CWnd* parent) : CDialogEx(IDD, parent) {}

void quorlin_ai_dialog_controller::DoDataExchange(CDataExchange* dx) {
    CDialogEx::DoDataExchange(dx);
    exchange_check_boxes<deployment::help_page_settings>(dx, *this);
}

BEGIN_MESSAGE_MAP(quorlin_ai_dialog_controller, CDialogEx)
ON_BN_CLICKED(IDC_KNOWLEDGE_ASSISTANT, &quorlin_ai_dialog_controller::on_knowledge_assistant_clicked)
END_MESSAGE_MAP()

void quorlin_ai_dialog_controller::on_knowledge_assistant_clicked() { UpdateData(TRUE); }
