document.documentElement.dataset.ready = "1";
