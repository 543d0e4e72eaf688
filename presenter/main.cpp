// The Presenter program: presents the demo package beside it or attached to it.
#include "presenter/presenter.h"

int main() { presenterMain(); }
