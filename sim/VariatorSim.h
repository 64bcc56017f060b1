#pragma once

// A bench stand-in for the variator on a pseudo-terminal.
