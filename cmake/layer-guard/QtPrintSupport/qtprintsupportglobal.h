// Found before Qt's own header of the same name, on the include path of the
// program's code only: Qt PrintSupport belongs to the framework.
#error "Qt PrintSupport is the framework's: speak to the framework's API instead"
