// The About and Help Information dialogs.
#pragma once

class QWidget;

void show_about(QWidget* owner);
void show_help(QWidget* owner);
