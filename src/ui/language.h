#pragma once

class QCoreApplication;
class QTranslator;

namespace tavrinel
{

// Makes Chinese (China) the default locale and installs Qt's own Chinese translations, so that
// standard buttons read "确定", "取消", "保存". The translator must outlive the application's use
// of it. Returns false when Qt's translations are not installed; the window works without them,
// only its standard buttons are then in English.
bool useChineseLanguage(QCoreApplication &app, QTranslator &translator);

} // namespace tavrinel
