#pragma once

class QTranslator;

// Qt's own texts (the context menus of the time box and the speed bar, the buttons of
// message boxes) in German like the program's, whatever the user's locale. The translator
// must live as long as the application.
void installGermanQtTexts(QTranslator& translator);
