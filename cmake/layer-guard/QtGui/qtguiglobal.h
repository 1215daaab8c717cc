// Found before Qt's own header of the same name, on the include path of the
// program's code only: Qt Gui belongs to the framework.
#error "Qt Gui is the framework's: speak to the framework's API instead"
