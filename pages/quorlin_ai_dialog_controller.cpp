#include "pages/quorlin_ai_dialog_controller.h"

quorlin_ai_dialog_controller::quorlin_ai_dialog_controller(CWnd* parent) : CDialogEx(IDD, parent) {}

void quorlin_ai_dialog_controller::DoDataExchange(CDataExchange* dx) {
    CDialogEx::DoDataExchange(dx);
    DDX_Check(dx, IDC_KNOWLEDGE_ASSISTANT, knowledge_assistant_enabled);
}

BEGIN_MESSAGE_MAP(quorlin_ai_dialog_controller, CDialogEx)
ON_BN_CLICKED(IDC_KNOWLEDGE_ASSISTANT, &quorlin_ai_dialog_controller::on_knowledge_assistant_clicked)
END_MESSAGE_MAP()

void quorlin_ai_dialog_controller::on_knowledge_assistant_clicked() { UpdateData(TRUE); }
