// Found before Qt's own header of the same name, on the include path of the
// program's code only: Qt Network belongs to the framework.
#error "Qt Network is the framework's: speak to the framework's API instead"
